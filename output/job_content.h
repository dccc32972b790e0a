// What a job's bytes look like, as the interpreter judged them: the verdict travels with the
// job's state to the worker, which sets aside what is not a printout.
#pragma once

namespace zelmo {

// What a job's bytes look like.
enum class JobContent {
    Text,  // text, control codes and escape sequences of a printer: printable as bare text
    Pdf,
    PostScript,
    Gzip,
    Zip,
    Png,
    Jpeg,
    WindowsProgram,
    LinuxProgram,
    Binary,  // none of the above, and not text
};

struct ContentVerdict {
    JobContent content = JobContent::Text;
    const char* polish = "";   // what it looks like, for the user ("plik PDF")
    const char* english = "";  // the same for logs read by administrators
    bool isText() const { return content == JobContent::Text; }
};

}  // namespace zelmo
