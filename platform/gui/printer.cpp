#include "platform/gui/printer.h"

#include "platform/core/dialog_service.h"
#include "platform/core/exceptions.h"
#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/gui/control_widget.h"
#include "platform/gui/qt_bridge.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QStandardPaths>

#include <cstdio>

namespace gui {

namespace {
const char* const kPdfPrinterName = "PDF";
constexpr int kDefaultResolution = 300;
}  // namespace

struct TPrinter::Impl {
    std::unique_ptr<QPrinter> printer;
    std::unique_ptr<QPainter> painter;
    TCanvas canvas;
    std::string pdfPath;  // native path of the PDF being written, if any
    bool pdfChosenHere = false;  // the name was made here, so the user must hear of it
};

TPrinter::TPrinter() : impl_(std::make_unique<Impl>()) {
    EnsureQtApplication();
    impl_->printer = std::make_unique<QPrinter>(QPrinter::PrinterResolution);
    impl_->printer->setResolution(kDefaultResolution);
    impl_->printer->setFullPage(false);
    Printers();
    // The system's default printer when there is one, else the PDF writer.
    QString def = QPrinterInfo::defaultPrinterName();
    int idx = def.isEmpty() ? -1 : printers_.IndexOf(FromQString(def));
    printerIndex_ = idx >= 0 ? idx : printers_.Count() - 1;
}

TPrinter::~TPrinter() {
    if (printing_) Abort();
}

const plat::StringList& TPrinter::Printers() {
    if (printers_.Count() == 0) {
        for (const QString& name : QPrinterInfo::availablePrinterNames()) printers_.Add(FromQString(name));
        printers_.Add(kPdfPrinterName);
    }
    return printers_;
}

void TPrinter::SetPrinterIndex(int i) {
    if (printing_) throw plat::Exception("Printing in progress");
    if (i == -1) i = printers_.Count() - 1;
    if (i < 0 || i >= printers_.Count()) throw plat::Exception("Printer selected is not valid");
    printerIndex_ = i;
}

QPrinter* TPrinter::QtPrinter() const { return impl_->printer.get(); }

TPrinterOrientation TPrinter::Orientation() const {
    return impl_->printer->pageLayout().orientation() == QPageLayout::Landscape ? poLandscape : poPortrait;
}

void TPrinter::SetOrientation(TPrinterOrientation o) {
    if (printing_) throw plat::Exception("Printing in progress");
    impl_->printer->setPageOrientation(o == poLandscape ? QPageLayout::Landscape : QPageLayout::Portrait);
}

int TPrinter::Copies() const { return impl_->printer->copyCount(); }
void TPrinter::SetCopies(int n) { impl_->printer->setCopyCount(std::max(1, n)); }

int TPrinter::Resolution() const { return impl_->printer->resolution(); }

void TPrinter::SetResolution(int dpi) {
    if (printing_) throw plat::Exception("Printing in progress");
    impl_->printer->setResolution(std::clamp(dpi, 36, 1200));
}

int TPrinter::PageWidth() const { return impl_->printer->pageLayout().paintRectPixels(Resolution()).width(); }
int TPrinter::PageHeight() const { return impl_->printer->pageLayout().paintRectPixels(Resolution()).height(); }

int TPrinter::GetDeviceCaps(int index) const {
    QPageLayout layout = impl_->printer->pageLayout();
    int dpi = Resolution();
    QRect full = layout.fullRectPixels(dpi);
    QRect paint = layout.paintRectPixels(dpi);
    switch (index) {
    case HORZRES: return paint.width();
    case VERTRES: return paint.height();
    case LOGPIXELSX:
    case LOGPIXELSY: return dpi;
    case HORZSIZE: return static_cast<int>(layout.paintRect(QPageLayout::Millimeter).width());
    case VERTSIZE: return static_cast<int>(layout.paintRect(QPageLayout::Millimeter).height());
    case PHYSICALWIDTH: return full.width();
    case PHYSICALHEIGHT: return full.height();
    case PHYSICALOFFSETX: return paint.left();
    case PHYSICALOFFSETY: return paint.top();
    default: return 0;
    }
}

int TPrinter::Escape(int escape, int inValue, TPoint* out) const {
    switch (escape) {
    case QUERYESCSUPPORT:
        return (inValue == QUERYESCSUPPORT || inValue == GETPHYSPAGESIZE || inValue == GETPRINTINGOFFSET) ? 1 : 0;
    case GETPHYSPAGESIZE:
        if (out) *out = {GetDeviceCaps(PHYSICALWIDTH), GetDeviceCaps(PHYSICALHEIGHT)};
        return 1;
    case GETPRINTINGOFFSET:
        if (out) *out = {GetDeviceCaps(PHYSICALOFFSETX), GetDeviceCaps(PHYSICALOFFSETY)};
        return 1;
    default: return 0;
    }
}

namespace {

// A free name for a PDF of the document `title` where the user keeps documents.
std::string NewPdfPath(const std::string& title) {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) folder = QDir::homePath();
    QString base = ToQString(title).trimmed();
    // A title is no path: separators and a leading dot would hide or misplace the file.
    base.replace('/', '-').replace('\\', '-');
    while (base.startsWith('.')) base.remove(0, 1);
    if (base.isEmpty()) base = "Untitled";
    QDir dir(folder);
    QString name = base + ".pdf";
    for (int n = 2; dir.exists(name); ++n) name = QString("%1 (%2).pdf").arg(base).arg(n);
    return dir.filePath(name).toStdString();  // native, UTF-8
}

}  // namespace

const std::string& TPrinter::PdfFile() const { return impl_->pdfPath; }

void TPrinter::ApplyTarget() {
    QPrinter* p = impl_->printer.get();
    bool toPdf = !OutputFileName.empty() || printers_[printerIndex_] == kPdfPrinterName;
    if (toPdf) {
        impl_->pdfChosenHere = OutputFileName.empty();
        impl_->pdfPath = OutputFileName.empty() ? NewPdfPath(Title) : plat::NativePath(OutputFileName);
        p->setOutputFormat(QPrinter::PdfFormat);
        p->setOutputFileName(QString::fromStdString(impl_->pdfPath));
    } else {
        impl_->pdfPath.clear();
        p->setOutputFormat(QPrinter::NativeFormat);
        p->setOutputFileName({});
        p->setPrinterName(ToQString(printers_[printerIndex_]));
    }
    p->setDocName(ToQString(Title));
}

TCanvas& TPrinter::Canvas() {
    if (!printing_) throw plat::Exception("Printer is not currently printing");
    return impl_->canvas;
}

void TPrinter::BeginDoc() {
    if (printing_) throw plat::Exception("Printing in progress");
    Printers();
    ApplyTarget();
    impl_->painter = std::make_unique<QPainter>();
    if (!impl_->painter->begin(impl_->printer.get())) {
        impl_->painter.reset();
        throw plat::Exception("Printer is not available: " + printers_[printerIndex_]);
    }
    printing_ = true;
    aborted_ = false;
    pageNumber_ = 1;
    // Fonts are sized in the printer's dots.
    impl_->canvas.Font().PixelsPerInch = Resolution();
    impl_->canvas.BindPainter(impl_->painter.get(), PageWidth(), PageHeight(), Resolution());
}

void TPrinter::NewPage() {
    if (!printing_) throw plat::Exception("Printer is not currently printing");
    impl_->printer->newPage();
    ++pageNumber_;
}

void TPrinter::EndDoc() {
    if (!printing_) throw plat::Exception("Printer is not currently printing");
    impl_->canvas.Unbind();
    impl_->painter->end();
    impl_->painter.reset();
    printing_ = false;
    if (impl_->pdfChosenHere && !impl_->pdfPath.empty())
        ShowMessage("No printer is installed. The pages were saved as " +
                    FromQString(QString::fromStdString(impl_->pdfPath)));
}

void TPrinter::Abort() {
    if (!printing_) return;
    impl_->canvas.Unbind();
    impl_->printer->abort();
    if (impl_->painter->isActive()) impl_->painter->end();
    impl_->painter.reset();
    // A half-written PDF is no use to anyone.
    if (!impl_->pdfPath.empty()) std::remove(impl_->pdfPath.c_str());
    printing_ = false;
    aborted_ = true;
}

TPrinter* Printer() {
    static TPrinter* printer = new TPrinter;  // lives to the end, as the class library's does
    return printer;
}

}  // namespace gui
