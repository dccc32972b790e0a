// What the filter tells CUPS on standard error: each message in Polish and in English, on one
// line, since the same line goes to the job's state message and to the administrator's log.
#pragma once

namespace zelmo::filter_texts {

constexpr const char* kUsage =
    "Użycie / usage: zelmo-cups-filter zadanie użytkownik tytuł kopie opcje [plik] / "
    "job-id user title copies options [file]";
constexpr const char* kPrinting = "INFO: Zelmo: drukowanie zadania / printing the job\n";
constexpr const char* kUnreadable =
    "ERROR: Zelmo: nie można odczytać zadania / cannot read the job\n";
constexpr const char* kTooLarge =
    "ERROR: Zelmo: zadanie za duże dla pamięci dostępnej filtrowi / the job is too large for "
    "the memory the filter may use\n";
constexpr const char* kOutOfMemory = "ERROR: Zelmo: brak pamięci / out of memory\n";
constexpr const char* kEmpty = "ERROR: Zelmo: zadanie jest puste / the job is empty\n";
constexpr const char* kNoPage =
    "ERROR: Zelmo: zadanie nie zawiera żadnej strony / the job holds no page\n";
// Followed by the content's description in Polish, then in English.
constexpr const char* kNotPrintout = "ERROR: Zelmo: zadanie odrzucone: %s / job refused: %s\n";
// Followed by the reason.
constexpr const char* kFailed = "ERROR: Zelmo: wydruk nieudany / printing failed: %s\n";
constexpr const char* kStopped = "ERROR: Zelmo: wydruk przerwany / printing stopped\n";
constexpr const char* kNoOutput =
    "ERROR: Zelmo: nie można zapisać pliku PDF / cannot write the PDF\n";
// Followed by the count of pages.
constexpr const char* kPrinted = "INFO: Zelmo: wydrukowano stron: %d / pages printed: %d\n";

}  // namespace zelmo::filter_texts
