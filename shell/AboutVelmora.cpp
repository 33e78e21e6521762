#include "AboutVelmora.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtGlobal>

QString AboutVelmora::version()
{
    return QStringLiteral(VELMORA_VERSION);
}

AboutVelmora::AboutVelmora(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("AboutVelmora"));
    setWindowTitle(tr("About Velmora"));
    setWindowIcon(QIcon(QStringLiteral(":/Velmora/Resources/logo.png")));

    auto* logo = new QLabel(this);
    logo->setObjectName(QStringLiteral("label_logo"));
    logo->setPixmap(QPixmap(QStringLiteral(":/Velmora/Resources/logo.png"))
                        .scaled(96, 96, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    logo->setAlignment(Qt::AlignTop);

    auto* text = new QLabel(this);
    text->setObjectName(QStringLiteral("label_about"));
    text->setTextFormat(Qt::RichText);
    text->setWordWrap(true);
    text->setText(tr("<h3>Quorlan Velmora</h3>"
                     "<p>Version %1</p>"
                     "<p>The companion for the take files of location-sound field "
                     "recorders: Broadcast Wave metadata, reports, playback and recorder "
                     "control.</p>"
                     "<p>Velmora never changes a single sample of a take.</p>"
                     "<p>Built with Qt %2.</p>")
                      .arg(version(), QString::fromLatin1(qVersion())));
    text->setMinimumWidth(300);

    auto* ok = new QPushButton(tr("OK"), this);
    ok->setObjectName(QStringLiteral("pushButton"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &AboutVelmora::on_pushButton_clicked);

    auto* top = new QHBoxLayout;
    top->addWidget(logo);
    top->addWidget(text, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
}

void AboutVelmora::on_pushButton_clicked()
{
    accept();
}
