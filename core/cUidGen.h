#pragma once

#include <QString>

// Identifiers "USQRX" + 12-digit serial + "HHmmss" + 5-digit record number + 2
// random digits (30 characters); file identifiers append a 2-digit file number.
class cUidGen
{
public:
    cUidGen();

    void GenUid();
    QString GetRandom(int digits);
    QString GenRecNumStr();
    QString GetFileUID(int number);
    bool SetUid(const QString& existing);
    void SetKQuid(const QString& existing);
    static QString GetPart(const QString& text, int start, int length);

    QString prefix;
    QString uid;
    QString serial;
    QString timeText;
    QString recNum;
};
