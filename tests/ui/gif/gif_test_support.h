#pragma once
// The GIF tests' world: mock time, a launched application with one key
// window, GIF files made on the spot, and the GIF classes' log collected.

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/foundation/Data.h"
#include "platform/foundation/ProcessInfo.h"
#include "platform/testing/GifFiles.h"
#include "platform/testing/TaskEnvironment.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/StateReset.h"
#include "platform/uikit/Window.h"
#include "ui/gif/KVTRGFAnimatedImage.h"

// What a test file's frames are: a delay in hundredths of a second (none:
// no control extension), and whether the frame is left without a colour
// table, so that it cannot be decoded.
struct GifFrameSpec {
    std::optional<int> delay = 10;
    bool undecodable = false;
};

struct GifSpec {
    int width = 4;
    int height = 4;
    std::optional<unsigned> loopCount;
    std::vector<GifFrameSpec> frames;
    // Bytes cut off the end (inside the last frame's pixels when small).
    size_t truncate = 0;
};

inline std::vector<uint8_t> gifBytes(const GifSpec& spec) {
    testing::SolidGif solid{spec.width, spec.height, spec.loopCount, {}};
    bool stripGlobal = false;
    for (const auto& frame : spec.frames) {
        solid.delays.push_back(frame.delay);
        stripGlobal = stripGlobal || frame.undecodable;
    }
    cg::gif::WriterFile file = testing::solidGifFile(solid);
    if (stripGlobal) {
        // Frames that must decode carry their own table; the global one is
        // cut out afterwards (giflib writes no frame without any table).
        for (size_t i = 0; i < spec.frames.size(); ++i)
            if (!spec.frames[i].undecodable) file.frames[i].localPalette = file.globalPalette;
    }
    auto bytes = cg::gif::write(file);
    EXPECT_FALSE(bytes.empty());
    if (stripGlobal) {
        size_t table = 3u << ((bytes[10] & 7) + 1);
        bytes.erase(bytes.begin() + 13, bytes.begin() + 13 + long(table));
        bytes[10] = 0;
    }
    bytes.resize(bytes.size() - std::min(spec.truncate, bytes.size()));
    return bytes;
}

inline ns::Ref<ns::Data> gifData(const GifSpec& spec) { return ns::Data::make(gifBytes(spec)); }

// `count` frames of `delay` hundredths each.
inline GifSpec uniformGif(size_t count, int delay = 10, int width = 4, int height = 4) {
    GifSpec spec;
    spec.width = width;
    spec.height = height;
    spec.frames.assign(count, GifFrameSpec{delay});
    return spec;
}

class GifLog {
public:
    GifLog() {
        KVTRGFAnimatedImage::setLogBlock([this](const std::string& text, KVTRGFLogLevel) { lines.push_back(text); },
                                         KVTRGFLogLevel::Verbose);
    }
    ~GifLog() { KVTRGFAnimatedImage::setLogBlock(nullptr, KVTRGFLogLevel::None); }
    bool contains(std::string_view text) const {
        for (const auto& line : lines)
            if (line.find(text) != std::string::npos) return true;
        return false;
    }
    std::vector<std::string> lines;
};

class GifTestDelegate : public ui::ApplicationDelegate {
public:
    ns::Ref<ui::Window> window() const override { return window_; }
    ns::Ref<ui::Window> window_;
};

class GifTest : public ::testing::Test {
protected:
    GifTest() {
        ui::resetSharedStateForTesting();
        ns::ProcessInfo::setActiveProcessorCountForTesting(2);
        delegate = std::make_shared<GifTestDelegate>();
        delegate->window_ = ui::Window::makeFullScreen();
        ui::Application::sharedApplication()->setDelegate(delegate);
        delegate->window_->makeKeyAndVisible();
        window = delegate->window_;
        env.runUntilIdle();
    }

    ~GifTest() override {
        // Views leaving the window stop their display links, so the clock
        // can run out.
        auto subviews = window->subviews();
        for (const auto& view : subviews) view->removeFromSuperview();
        ui::resetSharedStateForTesting();
        ns::ProcessInfo::setActiveProcessorCountForTesting(0);
        env.fastForwardUntilNoTasksRemain();
    }

    testing::TaskEnvironment env;
    GifLog log;
    std::shared_ptr<GifTestDelegate> delegate;
    ns::Ref<ui::Window> window;
};
