#pragma once

#include "TakeBatch.h"

#include <QStringList>

#include <memory>

class AudioFile;

// The rename service: renames take files after their metadata (by default
// scene and take: scene 12A, take 3 makes T003_2.wav 12AT3_2.wav), writing the
// new name into the file's FILENAME entries on the way (AudioThread::Update
// with the new path). Used by the editor's Rename and by "velmora-cli rename".
//
// Names come from the files' own metadata, which nobody has validated, so
// every value is made safe before it becomes part of a name: "/", "\", NUL
// and other control characters, and dots at the start, become "_"; the name
// can therefore never leave the take's folder nor hide the file. A file whose name would be empty,
// "." or ".." is refused (Outcome::Refused, the reason names the take). A file whose new name
// equals its old one, or names a file that exists already, is skipped. A full rewrite writes the
// new file under "<new name>.velmora-partial", gives it the new name once it is on the disk and
// then deletes the old file. Each take is locked (TakeLock) while it is renamed.
//
// A mono take is renamed whole or not at all: the files of one take come
// together in the list (one-channel files of one folder whose names share
// their stem, T003_1.WAV, T003_2.WAV, ...), and before the first of them is
// renamed every new name of the take is checked (checkTakeNames); when one
// fails, every file of the take is refused with a reason naming that file.
class TakeRenamer : public TakeBatch
{
    Q_OBJECT

public:
    static constexpr int kMaxNameBytes = 255;

    explicit TakeRenamer(QObject* parent = nullptr);
    ~TakeRenamer() override;

    // Keys: "Project", "Tape", "Scene", "Take", "Date", "Time", "TC Start";
    // values are joined with nothing in between; "Scene" and "Take" are
    // appended when missing. Default: "Scene", "Take".
    void setNameComponents(const QStringList& components) { m_components = components; }
    const QStringList& nameComponents() const { return m_components; }

    // The value of one name component from file's metadata, not yet made safe.
    static QString getNameComponentValue(const AudioFile& file, const QString& key);
    // The base name (without channel suffix and extension) from components.
    static QString createNewName(const AudioFile& file, const QStringList& components);
    // text with "/", "\", NUL and other control characters, and leading
    // dots (hidden files), replaced by "_".
    static QString safeNamePart(const QString& text);
    // The new bare file name of file (at oldPath): the safe base name, the
    // channel suffix of a one-channel file ("_2" of T003_2.wav) and the
    // extension of oldPath. Empty, with *why set, when the name would be
    // empty, "." or "..", or longer than kMaxNameBytes.
    static QString newFileName(const AudioFile& file, const QString& oldPath,
                               const QStringList& components, QString* why = nullptr);

    // Empty when every file of the take files (a mono group, in channel
    // order) can get its new name: a usable name of at most kMaxNameBytes
    // bytes, no file there yet, and no other file of the take getting the
    // same name. Otherwise the reason, naming the file that cannot.
    static QString checkTakeNames(const QStringList& files, const QStringList& components);

protected:
    bool startItem(ItemResult& r) override;
    void itemSucceeded(ItemResult& r) override;

private:
    QStringList m_components{QStringLiteral("Scene"), QStringLiteral("Take")};
    // The refusal (empty when none) of the take of the file at index of the
    // run, checked when its first file starts.
    QString takeRefusal(int index);

    std::unique_ptr<AudioFile> m_file; // the take being renamed
    QString m_partial;                 // a full rewrite's new file, until it has the new name
    int m_takeFirst = -1;              // run positions of the take last checked
    int m_takeEnd = -1;                // (one past its last file)
    QString m_takeRefusal;
};
