// The built-in PDF printer: each document a new file in the folder, named after what it prints.
#include <cstring>

#include "platform/local_time.h"
#include "platform/shown_texts.h"
#include "printers/pdf/folder_document.h"
#include "printers/pdf/pdf_printers.h"

namespace zelmo {
namespace {

// The part of a name that Windows accepts too: no path or reserved characters, no control
// characters, no trailing dots or spaces.
std::string portableName(const std::string& name) {
    std::string out;
    for (char c : name) {
        const auto u = static_cast<unsigned char>(c);
        out += u < 0x20 || std::strchr("<>:\"/\\|?*", c) ? '_' : c;
    }
    while (!out.empty() && (out.back() == '.' || out.back() == ' '))
        out.pop_back();
    return out;
}

// The path's last component without its extension.
std::string stem(const std::string& path) {
    // Either separator: a Windows job's path has backslashes.
    std::string name = path.substr(path.find_last_of("/\\") + 1);
    const size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

// " nr 17", and " ponownie" for a job printed again on request, so that two documents of one
// job, or of two jobs with one queue file name, are told apart.
std::string jobSuffix(const DocumentLabel& label) {
    std::string suffix;
    const ShownTexts& texts = shownTexts();
    if (label.job > 0) suffix = " " + texts.jobNumber + std::to_string(label.job);
    if (label.again) suffix += " " + texts.printedAgain;
    return suffix;
}

}  // namespace

// A4 at 600 dpi, all of it printable.
PrinterGeometry PdfFolderPrinter::a4() {
    PrinterGeometry g;
    g.width = 4960;
    g.height = 7016;
    g.dpiX = g.dpiY = 600;
    g.left = g.top = g.right = g.bottom = kOfficeMargin;
    return g;
}

PrinterGeometry PdfFolderPrinter::letter() {
    PrinterGeometry g = a4();
    g.width = 5100;
    g.height = 6600;
    return g;
}

PdfFolderPrinter::PdfFolderPrinter(std::string folder, const PrinterGeometry& geometry)
    : PdfDocumentPrinter(geometry), folder_(std::move(folder)) {
    removeStalePartials(folder_);
}

// "YYYY-MM-DD HH-MM-SS" and what the document prints.
std::string PdfFolderPrinter::documentName(const DocumentFacts& facts) {
    const std::tm local = localCalendar(facts.began);
    char when[32];
    std::strftime(when, sizeof when, "%Y-%m-%d %H-%M-%S", &local);
    std::string what;
    const TestPage test = testPageFromNumber(static_cast<int>(facts.label.testPage));
    const ShownTexts& texts = shownTexts();
    if (test != TestPage::None)
        what = texts.test + " " + texts.testPages[testPageIndex(test)];
    else if (!facts.label.jobFile.empty())
        what = stem(facts.label.jobFile) + jobSuffix(facts.label);
    else
        what = stem(facts.title);
    what = portableName(what);
    return std::string(when) + (what.empty() ? "" : " " + what);
}

// A hidden file in the folder, named when the document is complete.
std::unique_ptr<DocumentFile> PdfFolderPrinter::createDocumentFile(const DocumentFacts& facts) {
    return createFolderDocument(folder_, documentName(facts));
}

}  // namespace zelmo
