#pragma once

#include <QLabel>

// A one-line read-only value of the editor panel. A text wider than the label
// is shown shortened in the middle ("USQRX12…7F3A") instead of widening the
// panel or being cut off; the whole text is in the tool tip and text()
// always returns it whole. The text can be selected with the mouse and copied.
class ValueLabel : public QLabel
{
    Q_OBJECT

public:
    explicit ValueLabel(QWidget* parent = nullptr);

    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    bool isElided() const;
};
