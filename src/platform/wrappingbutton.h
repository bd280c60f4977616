#pragma once
// A push button whose caption wraps on several lines when it is wider than the button can be: a caption that
// holds whole folder paths stays readable on any screen. The caption (text()) is the one set, unchanged.
#include <QPushButton>

namespace platform {

class WrappingButton : public QPushButton {
public:
    using QPushButton::QPushButton;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QSize captionSize(int textWidth) const;
    QSize withBevel(const QSize& caption) const;
    int bevelWidth() const;
};

} // namespace platform
