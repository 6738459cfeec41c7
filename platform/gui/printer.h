// The printer: a canvas per page at the printer's resolution, page size,
// begin / new page / end of a job, over Qt's printer. With OutputFileName
// set, or with no printer installed, the job is written as PDF, so printing
// works (and is tested) without a printer.
//
// The canvas draws straight onto the printer, so text reaches it as text (a
// PDF's words can be selected and searched) at the printer's resolution.
// As on a Win32 printer, pixels cannot be read back from a page and raster
// operations other than a plain copy draw as a plain copy.
#pragma once

#include "platform/core/string_list.h"
#include "platform/gui/graphics.h"

#include <memory>
#include <string>

class QPrinter;

namespace gui {

enum TPrinterOrientation { poPortrait, poLandscape };

// Win32 printer escapes and device capabilities that callers ask.
constexpr int QUERYESCSUPPORT = 8, GETPHYSPAGESIZE = 12, GETPRINTINGOFFSET = 13;
// (HORZRES, LOGPIXELSX and the other indices of the screen are in graphics.h.)
constexpr int PHYSICALWIDTH = 110, PHYSICALHEIGHT = 111, PHYSICALOFFSETX = 112, PHYSICALOFFSETY = 113;

class TPrinter : public TObject {
public:
    TPrinter();
    ~TPrinter() override;

    // Raises plat::Exception while a job is running.
    void BeginDoc();
    void NewPage();
    void EndDoc();
    // Drops the job: nothing more is printed (a PDF under way is removed).
    void Abort();
    bool Printing() const { return printing_; }
    bool Aborted() const { return aborted_; }
    // 1 for the first page of a job.
    int PageNumber() const { return pageNumber_; }

    // The page's canvas (only while printing), in device pixels.
    TCanvas& Canvas();
    // The printable area in device pixels.
    int PageWidth() const;
    int PageHeight() const;
    int GetDeviceCaps(int index) const;
    // Win32's printer escapes: QUERYESCSUPPORT (in: the escape asked about),
    // GETPHYSPAGESIZE and GETPRINTINGOFFSET (out: a point). Returns > 0 when
    // supported, 0 when not.
    int Escape(int escape, int inValue, TPoint* out) const;

    // Installed printers; the PDF writer is always the last one.
    const plat::StringList& Printers();
    int PrinterIndex() const { return printerIndex_; }
    void SetPrinterIndex(int i);
    TPrinterOrientation Orientation() const;
    void SetOrientation(TPrinterOrientation o);
    int Copies() const;
    void SetCopies(int n);
    // The job's name in the queue.
    std::string Title;
    // A PDF file to print into instead of a printer (empty: the chosen printer).
    // When the chosen printer is the PDF writer and this is empty, the file is
    // named after Title ("Untitled" without one) in the user's documents folder
    // (the home folder when there is none), numbered rather than overwriting,
    // and the user is told where it went when the job ends.
    std::string OutputFileName;
    // The native path of the PDF the last job wrote; empty after a printer.
    const std::string& PdfFile() const;
    // Dots per inch of the pages' canvases.
    int Resolution() const;
    void SetResolution(int dpi);

    // Qt's printer behind it (the print dialogs configure it).
    QPrinter* QtPrinter() const;

private:
    void ApplyTarget();
    struct Impl;
    std::unique_ptr<Impl> impl_;
    plat::StringList printers_;
    int printerIndex_ = 0;
    bool printing_ = false;
    bool aborted_ = false;
    int pageNumber_ = 0;
};

// The one printer object (created on first use).
TPrinter* Printer();

}  // namespace gui
