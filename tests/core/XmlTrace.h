#pragma once

#include "IxmlParser.h"

#include <QStringList>

// Records every callback the parser makes, as text lines, so that two
// readers can be compared event for event.
class XmlTrace : public cDefaultHandler
{
public:
    QStringList lines;

    bool startElement(QStringView qName, const QVector<Attribute>& attributes) override
    {
        QString line = QStringLiteral("start ") + qName.toString();
        for (const Attribute& a : attributes)
            line += QStringLiteral(" %1=%2").arg(a.name, a.value);
        lines << line;
        return true;
    }
    bool characters(QStringView text) override
    {
        lines << QStringLiteral("text ") + text.toString();
        return true;
    }
    bool endElement(QStringView qName) override
    {
        lines << QStringLiteral("end ") + qName.toString();
        return true;
    }
    void startOver() override { lines.clear(); }
    bool endDocument() override
    {
        lines << QStringLiteral("enddoc");
        return true;
    }

    static QStringList run(const QString& doc, ReaderChoice choice, bool* ok = nullptr)
    {
        XmlTrace t;
        const bool result = t.parse(doc, choice);
        if (ok)
            *ok = result;
        t.lines << QStringLiteral("result %1").arg(result) << t.lastError();
        return t.lines;
    }
};
