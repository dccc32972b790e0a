// Words that platform code puts into file names and messages. The platform holds no text of
// its own: the shell installs its texts before any printer or mover runs.
#pragma once

#include <string>

#include "platform/test_page.h"

namespace zelmo {

struct ShownTexts {
    // A test page's document: test + " " + the page's name (vector, bitmap, bitmap DI).
    std::string test;
    std::string testPages[kTestPageCount];
    // An archive folder that is the very folder where its copies wait.
    std::string archiveIsStaging;
    // A staging folder that is a link, and the start of an archive folder's absence.
    std::string stagingIsLink;
    std::string archiveMissing;
    // A job's number in a document's name ("nr 17"), and the mark of a job printed again.
    std::string jobNumber;
    std::string printedAgain;
};

// Replaces the texts; called once at start, before any thread reads them.
void installShownTexts(ShownTexts texts);
const ShownTexts& shownTexts();

}  // namespace zelmo
