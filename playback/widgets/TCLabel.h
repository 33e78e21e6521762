#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QWidget>

// Text drawn over an image scaled to the whole label, in a font fitted to the
// text rectangle (inset 5 % left and right and 15 % top and bottom unless the
// full-area flag is set) on every resize.
class TCLabel : public QWidget
{
    Q_OBJECT

public:
    explicit TCLabel(QWidget* parent = nullptr, bool fullArea = false);

    QString text() const { return m_text; }
    const QFont& textFont() const { return m_font; }

public slots:
    void setText(const QString& text);
    void setColor(const QColor& color);
    // A PNG (a resource or a file); an empty path is ignored.
    void setImage(const QString& path);
    void setImage(const QImage& image);

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;

private:
    QRect textRect() const;
    void fitFont();

    QImage m_image;
    QString m_text;
    QFont m_font;
    QColor m_color{0x58, 0x5b, 0x4c};
    bool m_fullArea;
};
