// The window over SDL2: frames from the demo thread, key events, full-screen toggle.
//
// A worker hands a frame over by copying it into one of three slots (a semaphore per slot)
// and pushing a user event; the main thread uploads the slot into a streaming texture,
// frees the slot and presents. Presenting follows the display's retrace where the driver
// offers it; otherwise (dummy or offscreen drivers) the main thread paces frames to 60 Hz
// itself, so the demo keeps real-time pace either way.
#include "platform/window.h"

#include <SDL.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <semaphore>
#include <thread>
#include <vector>

#include "app/console.h"
#include "app/keyboard.h"
#include "platform/keys.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kFrameSlots = 3;
constexpr int kInitialWidth = 640;
constexpr int kInitialHeight = 480;
constexpr auto kSelfPacedPeriod = std::chrono::microseconds(16667);  // 60 Hz

struct FrameSlot {
    std::vector<uint16_t> pixels;  // RGB565, rows packed
    int width = 0;
    int height = 0;
    std::binary_semaphore free{1};
};

struct WindowState {
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    int textureWidth = 0;
    int textureHeight = 0;
    Uint32 frameEvent = 0;
    Uint32 quitEvent = 0;
    FrameSlot slots[kFrameSlots];
    int nextSlot = 0;  // presenting thread only
    bool selfPaced = false;
    Clock::time_point nextTick{};
    WindowHooks hooks;
    SystemKeyFilter filter;
    bool fullScreen = false;
};

// Made once and never destroyed: a worker may still be presenting while the process ends.
WindowState* state = nullptr;

bool isSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0';
}

void useDummyVideo() {
    SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "dummy", SDL_HINT_OVERRIDE);
}

bool createWindow(const char* title) {
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) return false;
    state->window = SDL_CreateWindow(title, SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                                     kInitialWidth, kInitialHeight, SDL_WINDOW_RESIZABLE);
    if (state->window == nullptr) {
        SDL_Quit();
        return false;
    }
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
    state->renderer = SDL_CreateRenderer(state->window, -1, SDL_RENDERER_PRESENTVSYNC);
    if (state->renderer == nullptr) state->renderer = SDL_CreateRenderer(state->window, -1, 0);
    if (state->renderer == nullptr) {
        SDL_DestroyWindow(state->window);
        state->window = nullptr;
        SDL_Quit();
        return false;
    }
    SDL_RendererInfo info{};
    SDL_GetRendererInfo(state->renderer, &info);
    const char* driver = SDL_GetCurrentVideoDriver();
    bool virtualDisplay = driver == nullptr || std::strcmp(driver, "dummy") == 0 ||
                          std::strcmp(driver, "offscreen") == 0;
    state->selfPaced = virtualDisplay || (info.flags & SDL_RENDERER_PRESENTVSYNC) == 0;
    return true;
}

void drawCurrentFrame() {
    SDL_SetRenderDrawColor(state->renderer, 0, 0, 0, 255);
    SDL_RenderClear(state->renderer);
    if (state->texture != nullptr)
        SDL_RenderCopy(state->renderer, state->texture, nullptr, nullptr);
    SDL_RenderPresent(state->renderer);
}

void ensureTexture(int width, int height) {
    if (state->texture != nullptr && state->textureWidth == width &&
        state->textureHeight == height) {
        return;
    }
    if (state->texture != nullptr) SDL_DestroyTexture(state->texture);
    state->texture = SDL_CreateTexture(state->renderer, SDL_PIXELFORMAT_RGB565,
                                       SDL_TEXTUREACCESS_STREAMING, width, height);
    state->textureWidth = width;
    state->textureHeight = height;
    // Letterboxed scaling keeps the frame's aspect ratio in any window size.
    SDL_RenderSetLogicalSize(state->renderer, width, height);
}

void waitForNextTick() {
    Clock::time_point now = Clock::now();
    if (now < state->nextTick) {
        std::this_thread::sleep_until(state->nextTick);
    } else if (now - state->nextTick > kSelfPacedPeriod) {
        state->nextTick = now;  // fell behind: do not rush to catch up
    }
    state->nextTick += kSelfPacedPeriod;
}

void showFrame(int slotIndex) {
    FrameSlot& slot = state->slots[slotIndex];
    ensureTexture(slot.width, slot.height);
    if (state->texture != nullptr) {
        SDL_UpdateTexture(state->texture, nullptr, slot.pixels.data(), slot.width * 2);
    }
    slot.free.release();
    if (state->selfPaced) waitForNextTick();
    drawCurrentFrame();
    if (state->hooks.frameShown != nullptr) state->hooks.frameShown();
}

void toggleFullScreen() {
    state->fullScreen = !state->fullScreen;
    SDL_SetWindowFullscreen(state->window, state->fullScreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
}

void handleKey(const SDL_KeyboardEvent& event) {
    bool down = event.type == SDL_KEYDOWN;
    int virtualKey =
        virtualKeyFromScancode(event.keysym.scancode, (event.keysym.mod & KMOD_NUM) != 0);
    if (virtualKey == 0) return;
    if (down && virtualKey == kVkReturn && (event.keysym.mod & KMOD_ALT) != 0 &&
        event.repeat == 0) {
        toggleFullScreen();
    }
    if (state->filter.isSystemKey(virtualKey, down)) return;
    setKeyState(virtualKey, down);
}

// Returns false when the loop must end.
bool handleWindowEvent(const SDL_WindowEvent& event) {
    switch (event.event) {
        case SDL_WINDOWEVENT_CLOSE:
            commandQueue.push(CMD_CLOSE);
            return false;
        case SDL_WINDOWEVENT_MOVED:
            if (state->hooks.moved != nullptr && !state->hooks.moved()) {
                commandQueue.push(CMD_CLOSE);
                return false;
            }
            break;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            if (state->hooks.activate != nullptr) state->hooks.activate(true);
            break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            if (state->hooks.activate != nullptr) state->hooks.activate(false);
            break;
        case SDL_WINDOWEVENT_EXPOSED:
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            drawCurrentFrame();
            break;
        default:
            break;
    }
    return true;
}

}  // namespace

bool openWindow(const char* title, const WindowHooks& hooks) {
    if (state == nullptr) state = new WindowState;
    state->hooks = hooks;
    bool dummy = false;
    if (!isSet("DISPLAY") && !isSet("WAYLAND_DISPLAY") && !isSet("SDL_VIDEODRIVER")) {
        consoleWrite("No display found: the demo runs on SDL's dummy video driver, unseen.\n");
        useDummyVideo();
        dummy = true;
    }
    if (!createWindow(title)) {
        if (dummy) return false;
        char line[512];
        SDL_snprintf(line, sizeof line,
                     "Cannot open the display (%s): the demo runs on SDL's dummy video driver, "
                     "unseen.\n",
                     SDL_GetError());
        consoleWrite(line);
        useDummyVideo();
        if (!createWindow(title)) return false;
    }
    Uint32 first = SDL_RegisterEvents(2);
    if (first == static_cast<Uint32>(-1)) return false;
    state->frameEvent = first;
    state->quitEvent = first + 1;
    SDL_ShowCursor(SDL_DISABLE);
    ensureTexture(kInitialWidth, kInitialHeight);
    drawCurrentFrame();
    state->nextTick = Clock::now();
    return true;
}

void presentFrame(void*, const uint16_t* pixels, int width, int height, int strideBytes) {
    int index = state->nextSlot;
    state->nextSlot = (index + 1) % kFrameSlots;
    FrameSlot& slot = state->slots[index];
    slot.free.acquire();
    if (slot.width != width || slot.height != height) {
        slot.pixels.resize(static_cast<size_t>(width) * height);  // only when the size changes
        slot.width = width;
        slot.height = height;
    }
    for (int y = 0; y < height; ++y) {
        const auto* row =
            reinterpret_cast<const uint8_t*>(pixels) + static_cast<ptrdiff_t>(y) * strideBytes;
        std::memcpy(slot.pixels.data() + static_cast<size_t>(y) * width, row, width * 2);
    }
    SDL_Event event{};
    event.type = state->frameEvent;
    event.user.code = index;
    if (SDL_PushEvent(&event) != 1) {  // the queue is full: drop the frame
        slot.free.release();
        if (state->hooks.frameShown != nullptr) state->hooks.frameShown();
    }
}

void postQuit(int exitCode) {
    SDL_Event event{};
    event.type = state->quitEvent;
    event.user.code = exitCode;
    SDL_PushEvent(&event);
}

int runEventLoop() {
    SDL_Event event;
    while (SDL_WaitEvent(&event) != 0) {
        if (event.type == state->frameEvent) {
            showFrame(event.user.code);
        } else if (event.type == state->quitEvent) {
            return event.user.code;
        } else if (event.type == SDL_QUIT) {
            commandQueue.push(CMD_CLOSE);
            return 0;
        } else if (event.type == SDL_WINDOWEVENT) {
            if (!handleWindowEvent(event.window)) return 0;
        } else if (event.type == SDL_KEYDOWN || event.type == SDL_KEYUP) {
            handleKey(event.key);
        }
    }
    return 1;  // the event queue failed
}
