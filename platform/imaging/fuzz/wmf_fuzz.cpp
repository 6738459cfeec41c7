// Metafile bytes of any shape played onto a small picture.
#include "platform/imaging/wmf_reader.h"

#include <QGuiApplication>
#include <QPainter>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Text needs the font database, which needs an application.
    static QGuiApplication* app = [] {
        if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
        static int argc = 1;
        static char name[] = "wmf_fuzz";
        static char* argv[] = {name, nullptr};
        return new QGuiApplication(argc, argv);
    }();
    (void)app;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    imaging::MetafileSize(bytes);
    QImage img(64, 64, QImage::Format_RGB32);
    QPainter p(&img);
    imaging::DrawMetafile(p, QRectF(0, 0, 64, 64), bytes);
    return 0;
}
