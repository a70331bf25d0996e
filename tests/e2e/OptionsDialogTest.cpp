// The options dialog of the real pellmor.exe, filled in as a person fills
// it: opened from a tray icon's command menu, clicked and typed into, its
// edits seen at once in Wine's tray, and what OK and Cancel leave in the
// registry read back from this prefix's registry.
#include "e2e/DesktopUser.h"
#include "e2e/OptionsWindow.h"
#include "e2e/PellmorRun.h"
#include "e2e/ServerProfile.h"
#include "servers/Pop3Server.h"
#include "servers/SampleMailbox.h"
#include "support/DialogWatcher.h"
#include "support/WineTray.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using Options = OptionsWindow;

constexpr std::uint32_t blue = 0x0000FF;
constexpr std::uint32_t magenta = 0xFF00FF;

int quitsOf(const Pop3Server& server) {
    int quits = 0;
    for (const std::string& line : server.transcript())
        quits += line == "quit" ? 1 : 0;
    return quits;
}

int pixelsOf(HWND icon, std::uint32_t colour) {
    int width = 0, height = 0;
    int count = 0;
    for (std::uint32_t pixel : screenPixels(icon, width, height))
        count += pixel == colour ? 1 : 0;
    return count;
}

bool entriesBecome(const OptionsWindow& options, const std::vector<std::string>& entries) {
    if (waitUntil([&] { return options.profileEntries() == entries; }, 3000))
        return true;
    for (const std::string& entry : options.profileEntries())
        std::printf("entry \"%s\"\n", entry.c_str());
    return false;
}

// The one tray icon of a program whose shown profile checks `server`, once
// its start-up check has ended: seen at the server, which is quicker than
// reading tooltips.
HWND onlyIcon(const Pop3Server& server) {
    if (!waitUntil([&] { return quitsOf(server) >= 1; }, 30000) || !waitForTrayIcons(1, 10000))
        return nullptr;
    return trayIcons().front();
}

// The dialog opened from the one icon of a program whose shown profile
// checks `server`; a null handle when the icon or the dialog did not show.
OptionsWindow openFromOnlyIcon(PellmorRun& run, const Pop3Server& server) {
    HWND icon = onlyIcon(server);
    if (!icon) {
        ADD_FAILURE() << "no tray icon for " << server.user();
        return OptionsWindow(nullptr);
    }
    return OptionsWindow::open(run, icon);
}

// Leaves through the command menu of whichever icon shows.
long exitProgram(PellmorRun& run) {
    if (!waitUntil([] { return !trayIcons().empty(); }, 5000))
        return -1;
    return run.exitThrough(trayIcons().front());
}

class OptionsDialog : public testing::Test {
protected:
    void TearDown() override {
        removeStoredProfiles();
        waitForTrayIcons(0, 5000);
    }
};

TEST_F(OptionsDialog, OpensCentredOnTheProfileWhoseIconWasRightClicked) {
    Pop3Server ann(sampleMailbox(1), settingsFor("ann"));
    Pop3Server bob(sampleMailbox(1), settingsFor("bob"));
    Profile second = profileFor(bob);
    second.colour = 4;
    writeProfiles({profileFor(ann), second});
    PellmorRun run;
    HWND annIcon = run.iconShowing("ann", "1 message", 30000);
    HWND bobIcon = run.iconShowing("bob", "1 message", 30000);
    ASSERT_TRUE(annIcon && bobIcon);

    const Options options = Options::open(run, bobIcon);
    ASSERT_NE(options.handle(), nullptr);
    screenshot("options-open");
    const RECT box = options.rectangle();
    RECT screen{};
    GetWindowRect(GetDesktopWindow(), &screen);
    std::printf("options dialog at %ld,%ld to %ld,%ld\n", box.left, box.top, box.right, box.bottom);
    EXPECT_EQ(box.left, (screen.right - (box.right - box.left)) / 2);
    EXPECT_EQ(box.top, (screen.bottom - (box.bottom - box.top)) / 2);
    EXPECT_EQ(GetWindow(options.handle(), GW_OWNER), nullptr);

    EXPECT_EQ(options.profileEntries(), (std::vector<std::string>{"ann@127.0.0.1", "bob@127.0.0.1"}));
    EXPECT_EQ(options.selectedProfile(), 1);
    EXPECT_EQ(options.text(Options::user), "bob");
    EXPECT_EQ(options.text(Options::host), "127.0.0.1");
    EXPECT_EQ(options.text(Options::port), std::to_string(bob.port()));
    EXPECT_EQ(options.colourIndex(), 4);
    EXPECT_TRUE(options.hasFocus(Options::profiles));

    pressKey(VK_ESCAPE);
    EXPECT_TRUE(options.waitClosed(5000));
    EXPECT_TRUE(waitForTrayIcons(2, 5000));
    EXPECT_EQ(exitProgram(run), 0);
}

TEST_F(OptionsDialog, NewTwiceMakesOneProfileAndRemovingTheLastSelectsTheNewLast) {
    Pop3Server ann(sampleMailbox(1), settingsFor("ann"));
    Pop3Server bob(sampleMailbox(1), settingsFor("bob"));
    Profile second = profileFor(bob);
    second.colour = 2;
    writeProfiles({profileFor(ann), second});
    PellmorRun run;
    HWND annIcon = run.iconShowing("ann", "1 message", 30000);
    ASSERT_NE(run.iconShowing("bob", "1 message", 30000), nullptr);
    ASSERT_NE(annIcon, nullptr);
    const Options options = Options::open(run, annIcon);
    ASSERT_NE(options.handle(), nullptr);

    options.click(Options::newProfile);
    EXPECT_TRUE(waitForTrayIcons(3, 3000)) << trayIcons().size();
    // The icon is added before the entry: wait for the entry as well.
    EXPECT_TRUE(entriesBecome(options, {"ann@127.0.0.1", "bob@127.0.0.1", ""}));
    EXPECT_EQ(options.selectedProfile(), 2);
    EXPECT_EQ(options.text(Options::user), "");
    EXPECT_EQ(options.text(Options::host), "");
    EXPECT_EQ(options.text(Options::port), "110");
    EXPECT_TRUE(options.checked(Options::showIcon));
    screenshot("options-after-new");

    // The empty profile is still there to be filled in: no second one.
    options.click(Options::newProfile);
    EXPECT_FALSE(waitForTrayIcons(4, 1000));
    EXPECT_EQ(trayIcons().size(), 3u);
    EXPECT_EQ(options.profileEntries().size(), 3u);
    EXPECT_EQ(options.selectedProfile(), 2);

    ASSERT_TRUE(options.enabled(Options::removeProfile));
    options.click(Options::removeProfile);
    EXPECT_TRUE(waitForTrayIcons(2, 2000)) << trayIcons().size();
    EXPECT_TRUE(entriesBecome(options, {"ann@127.0.0.1", "bob@127.0.0.1"}));
    EXPECT_EQ(options.selectedProfile(), 1);
    EXPECT_EQ(options.text(Options::user), "bob");
    EXPECT_EQ(options.text(Options::port), std::to_string(bob.port()));
    EXPECT_EQ(options.colourIndex(), 2);
    // The icon that went is the new profile's: both stored ones still show.
    EXPECT_NE(run.tooltipOf("ann"), "");
    EXPECT_NE(run.tooltipOf("bob"), "");

    pressKey(VK_ESCAPE);
    EXPECT_TRUE(options.waitClosed(5000));
    EXPECT_EQ(exitProgram(run), 0);
}

TEST_F(OptionsDialog, TheLastShownIconCannotBeHiddenNorTheLastProfileRemoved) {
    Pop3Server ann(sampleMailbox(1), settingsFor("ann"));
    Pop3Server bob(sampleMailbox(1), settingsFor("bob"));
    Profile hidden = profileFor(bob);
    hidden.showIcon = false;
    writeProfiles({profileFor(ann), hidden});
    PellmorRun run;
    const Options options = openFromOnlyIcon(run, ann);
    ASSERT_NE(options.handle(), nullptr);

    EXPECT_TRUE(options.checked(Options::showIcon));
    EXPECT_FALSE(options.enabled(Options::showIcon));
    EXPECT_TRUE(options.enabled(Options::removeProfile));

    ASSERT_TRUE(options.chooseProfile(1));
    EXPECT_EQ(options.text(Options::user), "bob");
    EXPECT_FALSE(options.checked(Options::showIcon));
    EXPECT_TRUE(options.enabled(Options::showIcon));

    options.click(Options::removeProfile);
    EXPECT_TRUE(waitUntil([&] { return options.profileEntries().size() == 1; }, 3000));
    EXPECT_EQ(options.selectedProfile(), 0);
    EXPECT_EQ(options.text(Options::user), "ann");
    EXPECT_FALSE(options.enabled(Options::removeProfile));
    EXPECT_FALSE(options.enabled(Options::showIcon));
    EXPECT_EQ(trayIcons().size(), 1u);

    // The click gave "&Remove" the focus, and it has just been disabled.
    // Had it kept the focus, no window would have it (GetGUIThreadInfo
    // reports none), every key would reach the dialog as a system key, and
    // Esc, Enter and Tab would do nothing until the user clicked a control.
    HWND focus = focusOf(options.handle());
    EXPECT_NE(focus, nullptr) << "no window has the focus";
    EXPECT_TRUE(IsChild(options.handle(), focus));
    EXPECT_TRUE(IsWindowEnabled(focus));
    pressKey(VK_ESCAPE);
    EXPECT_TRUE(options.waitClosed(5000));
    if (IsWindow(options.handle()))
        options.click(Options::cancel);
    EXPECT_EQ(exitProgram(run), 0);
}

TEST_F(OptionsDialog, TypingAHostRenamesTheEntryWhenTheFocusLeaves) {
    Pop3Server ann(sampleMailbox(1), settingsFor("ann"));
    writeProfiles({profileFor(ann)});
    const std::vector<std::string> stored = storedProfileLines();
    PellmorRun run;
    HWND icon = onlyIcon(ann);
    ASSERT_NE(icon, nullptr);
    const Options options = Options::open(run, icon);
    ASSERT_NE(options.handle(), nullptr);

    options.typeInto(Options::host, "localhost");
    EXPECT_EQ(options.text(Options::host), "localhost");
    EXPECT_EQ(options.profileEntries(), std::vector<std::string>{"ann@127.0.0.1"});
    pressKey(VK_TAB);
    EXPECT_TRUE(waitUntil([&] { return options.profileEntries() == std::vector<std::string>{"ann@localhost"}; },
                          3000))
        << options.profileEntries().front();
    EXPECT_EQ(options.selectedProfile(), 0);
    EXPECT_TRUE(options.hasFocus(Options::port));
    // The icon's tooltip carries the new title too.
    EXPECT_EQ(run.tooltipOf("ann").rfind("ann@localhost - ", 0), 0u) << run.tooltipOf("ann");

    pressKey(VK_ESCAPE);
    EXPECT_TRUE(options.waitClosed(5000));
    EXPECT_EQ(storedProfileLines(), stored);
    EXPECT_EQ(exitProgram(run), 0);
}

TEST_F(OptionsDialog, TheSliderRecoloursTheTrayIconAtOnce) {
    Pop3Server ann(sampleMailbox(1), settingsFor("ann"));
    writeProfiles({profileFor(ann)}); // colour 0: blue
    PellmorRun run;
    HWND icon = onlyIcon(ann);
    ASSERT_NE(icon, nullptr);
    const Options options = Options::open(run, icon);
    ASSERT_NE(options.handle(), nullptr);
    ASSERT_EQ(options.colourIndex(), 0);
    // The stamp's inside is pure blue; no state overlay uses blue or magenta.
    EXPECT_GT(pixelsOf(icon, blue), 0);
    EXPECT_EQ(pixelsOf(icon, magenta), 0);

    ASSERT_TRUE(options.moveColour(1));
    EXPECT_EQ(options.colourIndex(), 1);
    EXPECT_TRUE(waitUntil([&] { return pixelsOf(icon, magenta) > 0 && pixelsOf(icon, blue) == 0; }, 3000))
        << pixelsOf(icon, magenta) << " magenta, " << pixelsOf(icon, blue) << " blue";

    // Cancel brings the stored colour back, on the rebuilt account's icon.
    pressKey(VK_ESCAPE);
    EXPECT_TRUE(options.waitClosed(5000));
    ASSERT_TRUE(waitUntil([] { return trayIcons().size() == 1 && IsWindowVisible(trayIcons().front()); }, 5000));
    EXPECT_TRUE(waitUntil([] { return pixelsOf(trayIcons().front(), blue) > 0; }, 3000));
    EXPECT_EQ(pixelsOf(trayIcons().front(), magenta), 0);
    EXPECT_EQ(exitProgram(run), 0);
}

// "Default" and "&Browse" each fill in their own field and leave what was
// typed into the others, not yet taken over, as it stands.
TEST_F(OptionsDialog, DefaultAndBrowseFillOnlyTheirOwnField) {
    const std::string client = "C:\\mail\\client.exe";
    CreateDirectoryA("C:\\mail", nullptr);
    HANDLE file = CreateFileA(client.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    Pop3Server ann(sampleMailbox(1), settingsFor("ann"));
    writeProfiles({profileFor(ann)});
    const std::vector<std::string> stored = storedProfileLines();
    PellmorRun run;
    const Options options = openFromOnlyIcon(run, ann);
    ASSERT_NE(options.handle(), nullptr);

    options.typeInto(Options::port, "2525");
    options.typeInto(Options::interval, "3");
    options.typeInto(Options::clientCommand, "mua.exe");
    ASSERT_FALSE(options.checked(Options::checkAutomatically));
    options.click(Options::checkAutomatically);
    ASSERT_TRUE(options.checked(Options::checkAutomatically));

    options.click(Options::defaultPort);
    EXPECT_TRUE(waitUntil([&] { return options.text(Options::port) == "110"; }, 3000))
        << options.text(Options::port);
    EXPECT_EQ(options.text(Options::interval), "3");
    EXPECT_EQ(options.text(Options::clientCommand), "mua.exe");
    EXPECT_TRUE(options.checked(Options::checkAutomatically));
    EXPECT_EQ(options.text(Options::user), "ann");
    // Nothing is saved until OK.
    EXPECT_EQ(storedProfileLines(), stored);

    options.typeInto(Options::user, "anne");
    options.click(Options::browse);
    HWND chooser = waitForWindow("#32770", "Browse for mail client executable", 10000);
    ASSERT_NE(chooser, nullptr);
    EXPECT_EQ(windowClassName(GetWindow(chooser, GW_OWNER)), "Pellmor");
    // The file name field has the focus when the file dialog opens.
    ASSERT_TRUE(waitUntil([&] { return focusOf(chooser) && GetAncestor(focusOf(chooser), GA_ROOT) == chooser; },
                          3000));
    EXPECT_EQ(windowClassName(focusOf(chooser)), "Edit");
    typeText(client);
    screenshot("options-browse");
    pressKey(VK_RETURN);
    EXPECT_TRUE(waitUntilGone(chooser, 5000));
    EXPECT_TRUE(waitUntil([&] { return options.text(Options::clientCommand) == client; }, 3000))
        << options.text(Options::clientCommand);
    EXPECT_EQ(options.text(Options::user), "anne");
    EXPECT_EQ(options.text(Options::interval), "3");
    EXPECT_EQ(options.text(Options::port), "110");
    EXPECT_TRUE(options.checked(Options::checkAutomatically));

    options.click(Options::ok);
    EXPECT_TRUE(options.waitClosed(5000));
    const std::vector<Profile> saved = storedProfiles();
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved[0].clientCommand, client);
    EXPECT_EQ(saved[0].user, "anne");
    EXPECT_EQ(saved[0].port, 110);
    EXPECT_EQ(saved[0].interval, 3);
    EXPECT_TRUE(saved[0].checkAutomatically);
    EXPECT_EQ(exitProgram(run), 0);
    DeleteFileA(client.c_str());
    RemoveDirectoryA("C:\\mail");
}

TEST_F(OptionsDialog, OkWritesTheRegistryAndTheNextStartLoadsIt) {
    Pop3Server ann(sampleMailbox(1), settingsFor("ann"));
    Pop3Server carl(sampleMailbox(2), settingsFor("carl"));
    writeProfiles({profileFor(ann)});
    {
        PellmorRun run;
        HWND icon = onlyIcon(ann);
        ASSERT_NE(icon, nullptr);
        const Options options = Options::open(run, icon);
        ASSERT_NE(options.handle(), nullptr);
        options.typeInto(Options::user, "carl");
        options.typeInto(Options::password, "pw-carl");
        options.typeInto(Options::port, std::to_string(carl.port()));
        options.typeInto(Options::interval, "7");
        options.click(Options::deleteImmediately);
        options.typeInto(Options::clientCommand, "mua.exe");
        ASSERT_TRUE(options.moveColour(2));
        options.click(Options::ok);
        EXPECT_TRUE(options.waitClosed(5000));

        const std::vector<Profile> saved = storedProfiles();
        ASSERT_EQ(saved.size(), 1u);
        EXPECT_EQ(saved[0].host, "127.0.0.1");
        EXPECT_EQ(saved[0].user, "carl");
        EXPECT_EQ(saved[0].password, "pw-carl");
        EXPECT_EQ(saved[0].port, carl.port());
        EXPECT_EQ(saved[0].interval, 7);
        EXPECT_TRUE(saved[0].deleteImmediately);
        EXPECT_FALSE(saved[0].checkAutomatically);
        EXPECT_TRUE(saved[0].showIcon);
        EXPECT_EQ(saved[0].colour, 2);
        EXPECT_EQ(saved[0].clientCommand, "mua.exe");
        const std::string line = storedProfileLines().front();
        EXPECT_EQ(line.substr(line.size() - 1), "d") << line;
        // Saving keeps the running account as it is and checks nothing.
        EXPECT_EQ(trayIcons().size(), 1u);
        EXPECT_EQ(carl.sessions(), 0);
        EXPECT_EQ(run.tooltipOf("carl").rfind("carl@127.0.0.1 - 1 message - 1 new (", 0), 0u)
            << run.tooltipOf("carl");
        EXPECT_EQ(exitProgram(run), 0);
    }

    PellmorRun again;
    HWND icon = onlyIcon(carl);
    ASSERT_NE(icon, nullptr);
    EXPECT_NE(again.iconShowing("carl", "carl@127.0.0.1 - 2 messages - 2 new (", 10000), nullptr)
        << again.tooltipOf("carl");
    EXPECT_EQ(carl.sessions(), 1);
    const Options options = Options::open(again, icon);
    ASSERT_NE(options.handle(), nullptr);
    EXPECT_EQ(options.text(Options::user), "carl");
    EXPECT_EQ(options.text(Options::port), std::to_string(carl.port()));
    EXPECT_EQ(options.text(Options::interval), "7");
    EXPECT_EQ(options.text(Options::clientCommand), "mua.exe");
    EXPECT_TRUE(options.checked(Options::deleteImmediately));
    EXPECT_FALSE(options.checked(Options::checkAutomatically));
    EXPECT_EQ(options.colourIndex(), 2);
    pressKey(VK_ESCAPE);
    EXPECT_TRUE(options.waitClosed(5000));
    EXPECT_EQ(exitProgram(again), 0);
}

TEST_F(OptionsDialog, CancelBringsBackTheStoredProfilesAsNewAccounts) {
    Pop3Server ann(sampleMailbox(1), settingsFor("ann"));
    Pop3Server bob(sampleMailbox(1), settingsFor("bob"));
    Profile second = profileFor(bob);
    second.colour = 3;
    writeProfiles({profileFor(ann), second});
    const std::vector<std::string> stored = storedProfileLines();
    PellmorRun run;
    HWND annIcon = run.iconShowing("ann", "1 message - 1 new", 30000);
    ASSERT_NE(run.iconShowing("bob", "1 message - 1 new", 30000), nullptr);
    ASSERT_NE(annIcon, nullptr);
    const Options options = Options::open(run, annIcon);
    ASSERT_NE(options.handle(), nullptr);

    options.typeInto(Options::host, "localhost");
    pressKey(VK_TAB);
    EXPECT_TRUE(waitUntil([&] { return options.profileEntries().front() == "ann@localhost"; }, 3000));
    ASSERT_TRUE(options.enabled(Options::showIcon));
    options.click(Options::showIcon);
    EXPECT_TRUE(waitForTrayIcons(1, 3000)) << trayIcons().size();
    options.click(Options::newProfile);
    EXPECT_TRUE(waitForTrayIcons(2, 3000)) << trayIcons().size();
    EXPECT_TRUE(entriesBecome(options, {"ann@localhost", "bob@127.0.0.1", ""}));

    options.click(Options::cancel);
    EXPECT_TRUE(options.waitClosed(5000));
    EXPECT_TRUE(waitForTrayIcons(2, 5000)) << trayIcons().size();
    // Rebuilt accounts: their messages forgotten, nothing checked.
    EXPECT_NE(run.iconShowing("ann", "ann@127.0.0.1 - mail unchecked", 10000), nullptr) << run.tooltipOf("ann");
    EXPECT_NE(run.iconShowing("bob", "bob@127.0.0.1 - mail unchecked", 10000), nullptr) << run.tooltipOf("bob");
    EXPECT_EQ(trayIcons().size(), 2u);
    EXPECT_EQ(storedProfileLines(), stored);
    EXPECT_EQ(ann.sessions(), 1);
    EXPECT_EQ(bob.sessions(), 1);
    EXPECT_EQ(exitProgram(run), 0);
}

// The other profile's timer fires while the dialog is open; the dialog
// keeps editing the profile it shows. It takes the timer's real minute.
TEST_F(OptionsDialog, ATimerCheckWhileOpenLeavesTheEditedProfileInPlace) {
    Pop3Server ann(sampleMailbox(1), settingsFor("ann"));
    Pop3Server bob(sampleMailbox(1), settingsFor("bob"));
    Profile timed = profileFor(bob);
    timed.checkAutomatically = true;
    timed.interval = 1;
    timed.colour = 5;
    writeProfiles({profileFor(ann), timed});
    PellmorRun run;
    HWND annIcon = run.iconShowing("ann", "1 message", 30000);
    ASSERT_NE(run.iconShowing("bob", "1 message", 30000), nullptr);
    ASSERT_NE(annIcon, nullptr);
    ASSERT_EQ(bob.sessions(), 1);
    const Options options = Options::open(run, annIcon);
    ASSERT_NE(options.handle(), nullptr);
    ASSERT_EQ(options.selectedProfile(), 0);

    options.typeInto(Options::clientCommand, "mua.exe");
    options.typeInto(Options::host, "localhost");
    pressKey(VK_TAB);
    ASSERT_TRUE(waitUntil([&] { return bob.sessions() == 2; }, 80000)) << bob.sessions();
    // Let that check run to its end before typing on.
    EXPECT_TRUE(waitUntil([&] { return quitsOf(bob) == 2; }, 10000));
    EXPECT_EQ(run.program().countTraces("bob's maildrop has"), 2);
    EXPECT_EQ(options.selectedProfile(), 0);
    EXPECT_EQ(options.text(Options::user), "ann");
    EXPECT_EQ(options.text(Options::host), "localhost");

    options.typeInto(Options::user, "anne");
    options.click(Options::ok);
    EXPECT_TRUE(options.waitClosed(5000));
    const std::vector<Profile> saved = storedProfiles();
    ASSERT_EQ(saved.size(), 2u);
    EXPECT_EQ(saved[0].user, "anne");
    EXPECT_EQ(saved[0].host, "localhost");
    EXPECT_EQ(saved[0].clientCommand, "mua.exe");
    EXPECT_EQ(saved[0].password, "pw-ann");
    EXPECT_EQ(saved[0].port, ann.port());
    EXPECT_EQ(saved[1].user, "bob");
    EXPECT_EQ(saved[1].host, "127.0.0.1");
    EXPECT_EQ(saved[1].password, "pw-bob");
    EXPECT_EQ(saved[1].port, bob.port());
    EXPECT_TRUE(saved[1].checkAutomatically);
    EXPECT_EQ(saved[1].interval, 1);
    EXPECT_EQ(saved[1].colour, 5);
    EXPECT_EQ(saved[1].clientCommand, "");
    EXPECT_EQ(exitProgram(run), 0);
}

TEST_F(OptionsDialog, AHostWithACommaIsRefusedAndKeptForCorrection) {
    Pop3Server ann(sampleMailbox(1), settingsFor("ann"));
    writeProfiles({profileFor(ann)});
    const std::vector<std::string> stored = storedProfileLines();
    PellmorRun run;
    const Options options = openFromOnlyIcon(run, ann);
    ASSERT_NE(options.handle(), nullptr);

    options.typeInto(Options::host, "a,b");
    pressKey(VK_TAB);
    HWND box = options.waitForOwnedBox(5000);
    ASSERT_NE(box, nullptr);
    screenshot("options-refused");
    EXPECT_EQ(windowText(box), "Pellmor Options");
    EXPECT_NE(messageBoxText(box).find("comma"), std::string::npos) << messageBoxText(box);
    pressKey(VK_RETURN);
    EXPECT_TRUE(waitUntilGone(box, 5000));
    EXPECT_TRUE(waitUntil([&] { return options.hasFocus(Options::host); }, 3000));
    EXPECT_EQ(options.text(Options::host), "a,b");
    EXPECT_EQ(options.profileEntries(), std::vector<std::string>{"ann@127.0.0.1"});

    // OK is refused the same way and the dialog stays.
    options.click(Options::ok);
    box = options.waitForOwnedBox(5000);
    ASSERT_NE(box, nullptr);
    EXPECT_NE(messageBoxText(box).find("comma"), std::string::npos) << messageBoxText(box);
    pressKey(VK_RETURN);
    EXPECT_TRUE(waitUntilGone(box, 5000));
    EXPECT_TRUE(IsWindowVisible(options.handle()));
    EXPECT_TRUE(waitUntil([&] { return options.hasFocus(Options::host); }, 3000));
    EXPECT_EQ(storedProfileLines(), stored);

    // Escape still throws it all away, without asking again.
    pressKey(VK_ESCAPE);
    EXPECT_TRUE(options.waitClosed(5000));
    EXPECT_EQ(waitForWindow("#32770", Options::caption, 500), nullptr);
    EXPECT_EQ(storedProfileLines(), stored);
    EXPECT_EQ(exitProgram(run), 0);
}

} // namespace
