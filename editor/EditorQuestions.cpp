#include "EditorQuestions.h"

#include "JobProgress.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>

namespace
{
QString title()
{
    return QCoreApplication::applicationName();
}

// A box of OK and Discard: OK, the default, keeps the edits; Escape or
// closing the box keeps them too, without OK's action.
TakeJobs::Answer okOrDiscard(QWidget* parent, const QString& text, QMessageBox::Icon icon)
{
    QMessageBox box(icon, title(), text, QMessageBox::Ok | QMessageBox::Discard, parent);
    box.setDefaultButton(QMessageBox::Ok);
    QPushButton* keep = box.addButton(QMessageBox::Cancel);
    // The box shows the two buttons its text names; Escape answers Cancel.
    keep->hide();
    box.setEscapeButton(keep);
    box.exec();
    if (box.clickedButton() == box.button(QMessageBox::Ok))
        return TakeJobs::Answer::Save;
    if (box.clickedButton() == box.button(QMessageBox::Discard))
        return TakeJobs::Answer::Discard;
    return TakeJobs::Answer::Cancel;
}
} // namespace

namespace EditorQuestions
{
bool askOk(QWidget* parent, const QString& question, bool okDefault)
{
    QMessageBox ask(QMessageBox::Question, title(), question, QMessageBox::Ok | QMessageBox::Cancel,
                    parent);
    ask.setDefaultButton(okDefault ? QMessageBox::Ok : QMessageBox::Cancel);
    ask.setEscapeButton(QMessageBox::Cancel);
    return ask.exec() == QMessageBox::Ok;
}

void tellJobEnd(QWidget* parent, const TakeJobs::Result& result)
{
    for (const QString& text : {result.message, result.notes}) {
        if (text.isEmpty())
            continue;
        QMessageBox box(QMessageBox::Warning, title(), text, QMessageBox::Ok, parent);
        if (text == result.message && !result.detail.isEmpty())
            box.setDetailedText(result.detail);
        box.exec();
    }
}

bool discardOnMove(QWidget* parent)
{
    return okOrDiscard(parent,
                       QObject::tr("You have made changes to the metadata.\nYou must click 'Save' "
                                   "for these changes to be implemented.\n Click button below to "
                                   "discard changes, or click 'OK' to return to take editing."),
                       QMessageBox::Critical) == TakeJobs::Answer::Discard;
}

TakeJobs::Questions make(QWidget* parent, JobProgress* progress)
{
    TakeJobs::Questions q;
    q.rebuildIxml = [parent, progress](const QString& file, const QString& why) {
        progress->close();
        QMessageBox ask(QMessageBox::Question, title(),
                        QObject::tr("The iXML metadata of %1 cannot be read (%2). Rebuild it "
                                    "from the fields Velmora could read? Anything else it held "
                                    "will be lost.")
                            .arg(file, why),
                        QMessageBox::NoButton, parent);
        QPushButton* rebuild = ask.addButton(QObject::tr("Rebuild"), QMessageBox::AcceptRole);
        QPushButton* cancel = ask.addButton(QMessageBox::Cancel);
        ask.setDefaultButton(cancel);
        ask.setEscapeButton(cancel);
        ask.exec();
        return ask.clickedButton() == rebuild;
    };
    q.confirmRateChange = [parent] {
        return okOrDiscard(parent,
                           QObject::tr("Are you sure you wish to save these changes?\n Click "
                                       "button below to discard changes, or click 'OK' to "
                                       "continue."),
                           QMessageBox::Question);
    };
    q.confirmDuplicate = [parent] {
        return askOk(parent, QObject::tr("Scene/take duplication has been detected.\n Are you "
                                         "sure you wish to continue?\n Duplicates will have "
                                         "their scene name prefixed by '+'."));
    };
    q.unsavedEdits = [parent](const QString& take) {
        QMessageBox box(
            QMessageBox::Warning, title(),
            QObject::tr("%1 has changes that are not saved.\nSave them first?").arg(take),
            QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, parent);
        box.setDefaultButton(QMessageBox::Save);
        box.setEscapeButton(QMessageBox::Cancel);
        switch (box.exec()) {
        case QMessageBox::Save:
            return TakeJobs::Answer::Save;
        case QMessageBox::Discard:
            return TakeJobs::Answer::Discard;
        default:
            return TakeJobs::Answer::Cancel;
        }
    };
    q.warn = [parent](const QString& text) { QMessageBox::warning(parent, title(), text); };
    return q;
}
} // namespace EditorQuestions
