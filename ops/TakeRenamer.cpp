#include "TakeRenamer.h"

#include "AudioFile.h"
#include "OpsLog.h"
#include "SafeFileOps.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

TakeRenamer::TakeRenamer(QObject* parent) : TakeBatch(parent) {}

TakeRenamer::~TakeRenamer() = default;

QString TakeRenamer::getNameComponentValue(const AudioFile& file, const QString& key)
{
    if (key == QLatin1String("Project"))
        return file.GetProjectName();
    if (key == QLatin1String("Tape"))
        return file.GetTapeName();
    if (key == QLatin1String("Scene"))
        return file.GetSceneName();
    if (key == QLatin1String("Take"))
        return QStringLiteral("T") + file.GetTakeName();
    if (key == QLatin1String("Date"))
        return file.GetOriginatorDate().remove(QLatin1Char('/'));
    if (key == QLatin1String("Time"))
        return file.GetOriginatorTime().remove(QLatin1Char(':'));
    if (key == QLatin1String("TC Start"))
        return file.GetTCStart().remove(QLatin1Char(':')).remove(QLatin1Char(';'));
    return QString();
}

QString TakeRenamer::createNewName(const AudioFile& file, const QStringList& components)
{
    QString name;
    for (const QString& key : components)
        name += getNameComponentValue(file, key);
    if (!components.contains(QLatin1String("Scene")))
        name += getNameComponentValue(file, QStringLiteral("Scene"));
    if (!components.contains(QLatin1String("Take")))
        name += getNameComponentValue(file, QStringLiteral("Take"));
    return name;
}

QString TakeRenamer::safeNamePart(const QString& text)
{
    QString safe = text;
    for (QChar& c : safe) {
        const ushort u = c.unicode();
        if (u == '/' || u == '\\' || u < 0x20 || u == 0x7f || (u >= 0x80 && u < 0xa0))
            c = QLatin1Char('_');
    }
    // A name that starts with "." is hidden: the take would vanish from
    // folder listings and imports.
    for (int i = 0; i < safe.size() && safe.at(i) == QLatin1Char('.'); ++i)
        safe[i] = QLatin1Char('_');
    return safe;
}

QString TakeRenamer::newFileName(const AudioFile& file, const QString& oldPath,
                                 const QStringList& components, QString* why)
{
    const QString base = safeNamePart(createNewName(file, components));
    if (base.trimmed().isEmpty() || base == QLatin1String(".") || base == QLatin1String("..")) {
        if (why)
            *why = QStringLiteral("its scene and take give no usable file name (\"%1\")").arg(base);
        return QString();
    }
    QString name = base;
    const QString oldName = QFileInfo(oldPath).fileName();
    const int lastDot = oldName.lastIndexOf(QLatin1Char('.'));
    const int lastUnderscore = oldName.lastIndexOf(QLatin1Char('_'));
    // The channel suffix ("_2") of a one-channel file keeps the files of a
    // mono take apart.
    if (file.GetChannels() == 1 && lastDot >= 0 && lastUnderscore >= 0 && lastUnderscore < lastDot)
        name += safeNamePart(oldName.mid(lastUnderscore, lastDot - lastUnderscore));
    if (lastDot >= 0)
        name += oldName.mid(lastDot);
    // File systems take at most 255 bytes per name; a longer one would fail
    // half-way (after the metadata was written).
    if (QFile::encodeName(name).size() > kMaxNameBytes) {
        if (why)
            *why = QStringLiteral("the new name is longer than %1 bytes").arg(kMaxNameBytes);
        return QString();
    }
    return name;
}

bool TakeRenamer::startItem(ItemResult& r)
{
    m_partial.clear();
    const QString refusal = takeRefusal(currentIndex());
    if (!refusal.isEmpty()) {
        r.outcome = Outcome::Refused;
        r.reason = refusal;
        return false;
    }
    QString locked;
    if (!lockTake(r.source, &locked)) {
        r.outcome = Outcome::Refused;
        r.reason = locked;
        return false;
    }
    m_file = std::make_unique<AudioFile>();
    if (!m_file->Open(r.source)) {
        r.outcome = Outcome::Failed;
        r.reason = QStringLiteral("Failed to init %1 file: %2").arg(r.source, m_file->errorText());
        m_file.reset();
        return false;
    }
    QString why;
    const QString name = newFileName(*m_file, r.source, m_components, &why);
    if (name.isEmpty()) {
        r.outcome = Outcome::Refused;
        r.reason = QStringLiteral("%1: %2; not renamed").arg(QFileInfo(r.source).fileName(), why);
        m_file.reset();
        return false;
    }
    r.target = QFileInfo(r.source).absolutePath() + QLatin1Char('/') + name;
    // A name made safe holds no separator, so the target is in the take's
    // folder; checked again because a wrong folder could lose a take.
    if (QFileInfo(r.target).absolutePath() != QFileInfo(r.source).absolutePath()) {
        r.outcome = Outcome::Refused;
        r.reason = QStringLiteral("%1: the new name leaves its folder; not renamed")
                       .arg(QFileInfo(r.source).fileName());
        m_file.reset();
        return false;
    }
    if (r.target == r.source || SafeFileOps::samePath(r.target, r.source)) {
        r.outcome = Outcome::Skipped;
        r.reason = QStringLiteral("already named %1").arg(name);
        m_file.reset();
        return false;
    }
    if (QFileInfo::exists(r.target) || QFileInfo(r.target).isSymLink()) {
        r.outcome = Outcome::Skipped;
        r.reason = QStringLiteral("%1 exists already").arg(r.target);
        m_file.reset();
        return false;
    }
    m_file->SetFileName(name);
    QString target = r.target;
    QString current = r.source;
    if (!thread().Update(target, current, m_file.get())) {
        r.outcome = Outcome::Failed;
        r.reason = thread().m_errorMsg.isEmpty() ? QStringLiteral("the take cannot be renamed")
                                                 : thread().m_errorMsg;
        m_file.reset();
        return false;
    }
    // A full rewrite writes the new file under a partial name (target).
    if (target != r.target)
        m_partial = target;
    return true;
}

// ---------------------------------------------------------------- take check

namespace
{

// The name up to its last "_" (without one, up to its last "."): the files of
// a mono take share it.
QString nameStem(const QString& fileName)
{
    int end = fileName.lastIndexOf(QLatin1Char('_'));
    if (end < 0)
        end = fileName.lastIndexOf(QLatin1Char('.'));
    return end < 0 ? fileName : fileName.left(end);
}

} // namespace

QString TakeRenamer::checkTakeNames(const QStringList& files, const QStringList& components)
{
    const auto refuse = [](const QString& file, const QString& why) {
        return QStringLiteral("the take is not renamed: %1 %2")
            .arg(QFileInfo(file).fileName(), why);
    };
    QStringList targets;
    for (const QString& f : files) {
        AudioFile file;
        if (!file.Open(f))
            return refuse(f, QStringLiteral("cannot be read (%1)").arg(file.errorText()));
        QString why;
        const QString name = newFileName(file, f, components, &why);
        if (name.isEmpty())
            return refuse(f, QStringLiteral("cannot be renamed: %1").arg(why));
        const QString target = QFileInfo(f).absolutePath() + QLatin1Char('/') + name;
        if (SafeFileOps::samePath(target, f))
            continue; // named so already
        if (QFileInfo::exists(target) || QFileInfo(target).isSymLink())
            return refuse(f, QStringLiteral("would become %1, which exists already").arg(name));
        if (targets.contains(target))
            return refuse(f,
                          QStringLiteral("would become %1, as another file of the take").arg(name));
        targets << target;
    }
    return QString();
}

QString TakeRenamer::takeRefusal(int index)
{
    if (index >= m_takeFirst && index < m_takeEnd && index > 0)
        return m_takeRefusal;
    const QStringList& all = sources();
    m_takeFirst = index;
    m_takeEnd = index + 1;
    m_takeRefusal.clear();
    AudioFile first;
    if (index < 0 || index >= all.size() || !first.Open(all.at(index)) || first.GetChannels() != 1)
        return QString(); // a take of one file: its own checks follow
    const QFileInfo fi(all.at(index));
    const QString stem = nameStem(fi.fileName());
    QStringList take{all.at(index)};
    for (int j = index + 1; j < all.size(); ++j) {
        const QFileInfo fj(all.at(j));
        AudioFile member;
        if (fj.absolutePath() != fi.absolutePath() || nameStem(fj.fileName()) != stem ||
            !member.Open(all.at(j)) || member.GetChannels() != 1)
            break;
        take << all.at(j);
    }
    m_takeEnd = index + int(take.size());
    if (take.size() > 1)
        m_takeRefusal = checkTakeNames(take, m_components);
    return m_takeRefusal;
}

void TakeRenamer::itemSucceeded(ItemResult& r)
{
    m_file.reset();
    // A full rewrite wrote the take anew under a partial name, synced before
    // the worker reported it done; it gets the new name only now, so that a
    // run cut short never leaves a half-written take under a take name.
    if (!m_partial.isEmpty()) {
        QString why;
        const bool named = SafeFileOps::renameNoReplace(m_partial, r.target, &why);
        if (!named)
            QFile::remove(m_partial);
        m_partial.clear();
        if (!named) {
            r.outcome = Outcome::Failed;
            r.reason = QStringLiteral("%1 cannot be renamed: %2").arg(r.source, why);
            return;
        }
        SafeFileOps::syncFolderOf(r.target);
    }
    // The old file is still there after a full rewrite.
    if (QFileInfo::exists(r.source) && QFileInfo::exists(r.target) &&
        !SafeFileOps::samePath(r.source, r.target) && !QFile::remove(r.source)) {
        qCWarning(lcOps) << "renamed, but the old file cannot be removed" << r.source;
        r.reason = QStringLiteral("renamed, but %1 cannot be removed").arg(r.source);
    }
}
