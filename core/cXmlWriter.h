#pragma once

#include "SoundDefs.h"

#include <QString>
#include <QVector>

// Line-oriented XML writer: every line ends with "\r\n", no indentation.
// Element text is escaped (&amp; &lt; &gt;) so that the document stays
// well-formed whatever the metadata holds.
class cXmlWriter
{
public:
    explicit cXmlWriter(QString* result = nullptr) : m_result(result) {}
    virtual ~cXmlWriter() = default;
    virtual void WriteXmlData() = 0;

    void startDoc();
    void writeTag(const QString& name);
    void writeEndTag(const QString& name);
    void OpenNode(const QString& name); // pushes name and writes its opening tag
    void CreateNode(const QString& name, const QString& value);
    void CreateNode(const QString& name, int value);
    void EndElement();

    const QString& document() const { return m_doc; }
    // Empties the document (no declaration) to render a fragment.
    void clearDoc()
    {
        m_stack.clear();
        m_doc.clear();
    }
    // Copies the document into the result string, when one was given.
    void Publish();

    static QString Escape(const QString& text);

protected:
    QVector<QString> m_stack;
    QString m_doc;
    QString* m_result = nullptr;
};

// Renders a take's record as an iXML document in the fixed element order.
class cAudioXmlWriter : public cXmlWriter
{
public:
    // One text element of the record and the record field it holds.
    struct Leaf {
        const char* element;
        QString SoundDefs::AudioIxmlData::*member;
    };
    // The text elements under one parent, in document order. container is
    // empty for the direct children of BWFXML.
    struct Section {
        const char* container;
        QVector<Leaf> leaves;
    };
    // Root leaves, SPEED, HISTORY, BEXT, FILE_SET: the order of a new document.
    static const QVector<Section>& Sections();

    cAudioXmlWriter(const SoundDefs::AudioFileInfo* info, QString* result = nullptr)
        : cXmlWriter(result), m_info(info)
    {
    }
    void WriteXmlData() override;
    // Parts of the document, also used to add what an existing document lacks.
    void WriteTrack(const SoundDefs::AudioChannelInfo& ch);
    void WriteSyncPoint(const SoundDefs::AudioSyncPoint& sp);
    void WriteTrackList();     // nothing when trackCount is 0
    void WriteSyncPointList(); // nothing when syncPointCount is 0

private:
    const SoundDefs::AudioFileInfo* m_info;
};
