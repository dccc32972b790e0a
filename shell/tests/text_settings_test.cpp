// The text features' settings as Zelmo.ini holds them.
#include "shell/text_settings.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

namespace zelmo {
namespace {

TEST(TextSettings, ReadAsTheFileHoldsThemAndTheArchiveFolderIsSaved) {
    char pattern[] = "/tmp/zelmo-text-settings-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string ini = std::string(pattern) + "/Zelmo.ini";
    const std::string beside = std::string(pattern) + "/";
    const struct {
        const char* text;
        CodePage page;
        bool plain;
        std::string folder;  // a relative one lies beside Zelmo.ini
        std::vector<std::string> ignored;
    } cases[] = {
        {"", CodePage::Cp852, true, "", {}},
        {"[text]\ncodepage=windows1250\nPLAINTEXT=0\n[Archive]\nFolder=/srv/a b\n",
         CodePage::Windows1250,
         false,
         "/srv/a b",
         {}},
        {"[Text]\nCodePage=EBCDIC\nPlainText=x\n",
         CodePage::Cp852,
         true,
         "",
         {"CodePage=EBCDIC", "PlainText=x"}},
        {"[Text]\nCodePage=Mazovia ; comment\nPlainText=0 # off\n[Archive]\nFolder=archiwum ; "
         "here\n",
         CodePage::Mazovia,
         false,
         beside + "archiwum",
         {}},
        {"[Archive]\nFolder=C:\\Archiwum\n", CodePage::Cp852, true, "C:\\Archiwum", {}},
        {"[Text]\nCodePage=Mazovia\nPlainText=0x0\n[User]\nFolder=/no\n",
         CodePage::Mazovia,
         false,
         "",
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::ofstream(ini) << c.text;
        const TextSettings s = readTextSettings(ini);
        EXPECT_EQ(s.codePage, c.page);
        EXPECT_EQ(s.plainText, c.plain);
        EXPECT_EQ(s.archiveFolder, c.folder);
        EXPECT_EQ(s.ignored, c.ignored);
    }
    writeArchiveFolder(ini, "/home/biuro/Archiwum wydruków");
    EXPECT_EQ(readTextSettings(ini).archiveFolder, "/home/biuro/Archiwum wydruków");
    EXPECT_EQ(readTextSettings(ini).codePage, CodePage::Mazovia);  // the rest is kept
    std::filesystem::remove_all(pattern);
}

}  // namespace
}  // namespace zelmo
