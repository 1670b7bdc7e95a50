// The program: window, command line, the demo and music threads, and the event loop.
//
// Whichever worker finishes first ends the process, and so does closing the window; the
// other worker is not waited for.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "app/app.h"
#include "app/command_line.h"
#include "app/process.h"
#include "demo/demo.h"
#include "glide/glide.h"
#include "glide/present.h"
#include "music/player.h"
#include "platform/window.h"

namespace {

int argumentCount = 0;
char** arguments = nullptr;

void activateBoard(bool active) {
    if (active) {
        trace("3DFX: ACTIVE\n");
        grSstControl(GR_CONTROL_ACTIVATE);
    } else {
        trace("3DFX: INACTIVE\n");
        grSstControl(GR_CONTROL_DEACTIVATE);
    }
}

bool moveBoard() {
    return grSstControl(GR_CONTROL_MOVE) != 0;
}

void demoThread() {
    trace("Starting Halcyon\n");
    bool played = LoadDemo(descriptionFile(argumentCount, arguments));
    postQuit(played ? 0 : 1);
}

void musicThread() {
    waitForLoading();
    int status = playMusic(kMusicArgc, musicArguments());
    postQuit(status);
}

}  // namespace

int main(int argc, char** argv) {
    // The console is standard error; it needs no setting up.
    WindowHooks hooks;
    hooks.frameShown = &glidePresentComplete;
    hooks.activate = &activateBoard;
    hooks.moved = &moveBoard;
    if (!openWindow("Glide Test", hooks)) return 0;
    glideSetPresenter(&presentFrame, nullptr);

    // The arguments become one command line again, a path with spaces in quotes, and the
    // engine's own splitter takes it apart.
    std::string text = joinArguments(argc, argv);
    arguments = splitCommandLine(text.c_str(), &argumentCount);

    // Default stacks and priorities: the workers need more than 10 KiB of stack, and
    // raising the main thread's priority needs privileges.
    std::thread(demoThread).detach();
    std::thread(musicThread).detach();
    int status = runEventLoop();

    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(status);
}
