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
    cAudioXmlWriter(const SoundDefs::AudioFileInfo* info, QString* result = nullptr)
        : cXmlWriter(result), m_info(info)
    {
    }
    void WriteXmlData() override;

private:
    const SoundDefs::AudioFileInfo* m_info;
};
