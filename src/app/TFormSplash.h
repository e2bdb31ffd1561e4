#pragma once

#include <QWidget>

// The start-up picture: borderless, on top, centred on the screen; it closes
// itself after 1500 ms, or as soon as a question or message appears (which it
// would otherwise cover), and frees itself when closed.
class TFormSplash : public QWidget
{
    Q_OBJECT

public:
    static constexpr int ShowMilliseconds = 1500;

    explicit TFormSplash(QWidget *parent = nullptr);
    // Shows and paints the splash at once and starts its closing timer.
    void showNow();

protected:
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
};
