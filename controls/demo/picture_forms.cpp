// Demo forms of the picture family: the picture control's four paint modes,
// and the picture and media open dialog with a picture in its preview.

#include "controls/demo/demo_forms.h"
#include "controls/imaging/mm_open.h"
#include "controls/imaging/multi_image.h"
#include "controls/imaging/multi_media.h"
#include "platform/gui/gui_test_harness.h"
#include "platform/gui/std_controls.h"

#include <QImage>
#include <QPainter>

#include <cstdio>
#include <filesystem>

namespace {

using namespace gui;

// A landscape-shaped picture: sky, sun, hills, so scaling and placement show.
QImage Landscape(int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    QPainter p(&img);
    QLinearGradient sky(0, 0, 0, h);
    sky.setColorAt(0, QColor(40, 90, 200));
    sky.setColorAt(1, QColor(190, 220, 255));
    p.fillRect(img.rect(), sky);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 210, 40));
    p.drawEllipse(QPoint(w * 3 / 4, h / 4), h / 6, h / 6);
    p.setBrush(QColor(60, 150, 60));
    p.drawEllipse(QRect(-w / 4, h * 3 / 5, w, h));
    p.setBrush(QColor(30, 110, 40));
    p.drawEllipse(QRect(w / 3, h * 2 / 3, w, h));
    p.end();
    return img;
}

std::string SampleFolder() {
    const auto dir = std::filesystem::temp_directory_path() / "controls_demo_pictures";
    std::filesystem::create_directories(dir);
    return dir.string();
}

bool Save(TControl* control, const std::string& file) {
    guitest::ProcessEvents(50);
    const bool ok = guitest::SaveGrab(control, file);
    std::printf("%s %s\n", ok ? "wrote" : "could not write", file.c_str());
    return ok;
}

int PictureForm(const std::string& out) {
    const std::string folder = SampleFolder();
    const std::string bmp = folder + "/landscape.bmp";
    Landscape(120, 60).save(QString::fromStdString(bmp), "BMP");

    auto* form = new TForm(Application);
    form->SetCaption("Picture control: paint modes");
    form->SetClientSize(420, 380);
    form->SetColor(clBtnFace);
    const char* captions[] = {"Plain", "Centred", "Stretched", "Stretched, aspect kept"};
    for (int i = 0; i < 4; ++i) {
        const int left = 10 + (i % 2) * 205, top = 10 + (i / 2) * 185;
        auto* label = new TLabel(form);
        label->SetParent(form);
        label->SetBounds(left, top, 195, 16);
        label->SetCaption(captions[i]);
        auto* image = new controls::TPMultiImage(form);
        image->SetParent(form);
        image->SetBounds(left, top + 18, 195, 155);
        image->SetBorderStyle(bsSingle);
        image->SetImageName(bmp);
        if (i == 1) image->SetCenter(true);
        if (i == 2) image->SetStretch(true);
        if (i == 3) image->SetStretchRatio(true);
        if (i == 3) {
            image->Font().SetName("Arial");
            image->Font().SetHeight(-18);
            image->Font().SetStyle(fsBold);
            image->Font().SetColor(clWhite);
            image->SetTextShadow(true);
            image->SetTextLeft(8);
            image->SetTextTop(8);
            image->SetText("Overlay");
        }
    }
    form->Show();
    return Save(form, out + "/picture.png") ? 0 : 1;
}

int OpenDialogForm(const std::string& out) {
    const std::string folder = SampleFolder();
    Landscape(160, 100).save(QString::fromStdString(folder + "/landscape.bmp"), "BMP");
    Landscape(90, 120).save(QString::fromStdString(folder + "/portrait.png"), "PNG");
    QImage small = Landscape(64, 48);
    small.save(QString::fromStdString(folder + "/thumb.jpg"), "JPEG");
    if (FILE* f = std::fopen((folder + "/welcome.scm").c_str(), "wb")) {
        std::fputs("/fc|65535/fh|-16/fn|Arial/fs|/ft|1000/bc|8388608/sp|0/sm| Welcome to the help project /eo|", f);
        std::fclose(f);
    }
    int code = 1;
    auto* dialog = new controls::TMMOpenDialog(Application);
    dialog->InitialDir = folder;
    dialog->OnFormShow = [&](controls::TMultiOpenMM& form) {
        form.FileListBox1->SetFileName(folder + "/landscape.bmp");
        form.FileListBox1Change(form.FileListBox1);
        code = Save(&form, out + "/opendialog.png") ? 0 : 1;
        form.FileListBox1->SetFileName(folder + "/welcome.scm");
        form.FileListBox1Change(form.FileListBox1);
        guitest::ProcessEvents(400);  // let the message scroll in
        Save(&form, out + "/opendialog_message.png");
        form.CancelBtn->Click();
    };
    dialog->Execute();
    delete dialog;
    return code;
}

// The media control twice: a picture with the linked player's buttons under
// it, and a credits file rolling over its own background.
int MediaForm(const std::string& out) {
    const std::string folder = SampleFolder();
    const std::string bmp = folder + "/landscape.bmp";
    Landscape(200, 120).save(QString::fromStdString(bmp), "BMP");
    const std::string credits = folder + "/credits.cms";
    if (FILE* f = std::fopen(credits.c_str(), "wb")) {
        std::fputs("credits\r\n16777215\r\n-16\r\nArial\r\n12\r\n1000\r\n8388608\r\n1\r\n"
                   "The help project\r\n\r\nWritten by the team\r\nPictures by the team\r\nThanks for reading\r\n",
                   f);
        std::fclose(f);
    }
    auto* form = new TForm(Application);
    form->SetCaption("Media control");
    form->SetClientSize(460, 250);
    form->SetColor(clBtnFace);
    auto* picture = new controls::TPMultiMedia(form);
    picture->SetParent(form);
    picture->SetBounds(10, 10, 210, 150);
    picture->SetBorderStyle(bsSingle);
    picture->SetStretchRatio(true);
    auto* player = new controls::TMIMediaPlayer(form);
    player->SetParent(form);
    player->SetBounds(10, 170, 210, 30);
    picture->SetMediaPlayer(player);
    picture->SetMediaName(bmp);
    auto* roll = new controls::TPMultiMedia(form);
    roll->SetParent(form);
    roll->SetBounds(240, 10, 210, 190);
    roll->SetBorderStyle(bsSingle);
    roll->SetMediaName(credits);
    const std::pair<int, const char*> labels[] = {{10, "A picture, the player under it"},
                                                  {240, "A credits file rolling"}};
    for (const auto& [left, text] : labels) {
        auto* label = new TLabel(form);
        label->SetParent(form);
        label->SetBounds(left, 215, 210, 16);
        label->SetCaption(text);
    }
    form->Show();
    for (int i = 0; i < 120; ++i) {  // let the credits roll in
        roll->Animate();
        guitest::ProcessEvents(2);
    }
    return Save(form, out + "/media.png") ? 0 : 1;
}

const demo::DemoRegistration kPicture{{"picture", "the picture control's four paint modes", PictureForm}};
const demo::DemoRegistration kMedia{{"media", "the media control: a picture with its player, a credits file", MediaForm}};
const demo::DemoRegistration kOpenDialog{{"opendialog", "the picture and media open dialog", OpenDialogForm}};

}  // namespace
