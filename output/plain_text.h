// A job of bare text (no font header, no raster graphics) printed in the printer's monospaced
// font, as a line printer would: 10 characters per inch, 6 lines per inch, within the
// printable area placed by the user's offsets.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "output/code_pages.h"
#include "output/page_output.h"

namespace zelmo {

class PlainTextPrinter {
  public:
    PlainTextPrinter(PclState& s, const JobEnv& env);

    // One byte of the job outside escape sequences.
    void put(uint8_t byte);
    // Sends the last page if it holds text.
    void finish();
    // Pages sent so far, copies not counted.
    int pagesSent() const { return pagesSent_; }

  private:
    void lineFeed();
    void formFeed();
    void sendPage();
    void clearPage();

    PclState& s_;
    const JobEnv& env_;
    CodePage codePage_;
    int32_t columns_ = 0;
    int32_t rows_ = 0;
    int32_t column_ = 0;
    int32_t row_ = 0;
    bool pageHasText_ = false;
    int blankPagesPending_ = 0;  // form feeds over empty pages, sent once text follows
    int pagesSent_ = 0;
    std::vector<char32_t> cells_;  // rows_ x columns_, 0 where nothing was printed
    std::string line_;
};

}  // namespace zelmo
