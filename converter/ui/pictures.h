// The wizard's pictures (6001, 7202, 7203, 7411, 7421, 7501, 7502, 7701,
// 7707), drawn by the program rather than loaded, and the button that shows
// one: the picture one pixel inside the control, a one-pixel frame around
// it (none for 6001), the rest in the dialog's background.
#pragma once

#include <QAbstractButton>
#include <QImage>

namespace conv::ui {

// Natural size of a picture; an empty size for an unknown id.
QSize PictureSize(int id);
QImage DrawPicture(int id);

class PictureButton : public QAbstractButton {
public:
    PictureButton(int pictureId, QWidget* parent = nullptr);
    int pictureId() const { return pictureId_; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    int pictureId_;
    QImage picture_;
};

}  // namespace conv::ui
