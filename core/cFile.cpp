#include "cFile.h"

void cFile::Close()
{
    if (isOpen())
        QFile::close();
    m_transferBuffer = QByteArray();
}

bool cFile::Seek(quint64 offset, bool fromStart)
{
    const quint64 target = fromStart ? offset : quint64(QFile::pos()) + offset;
    return QFile::seek(qint64(target));
}
