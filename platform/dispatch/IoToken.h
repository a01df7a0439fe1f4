#pragma once
// Marks input/output in flight, so that a test environment waiting for
// everything to settle also waits for it. Hold one from the moment a reply
// is expected until its result has been handed to a queue: hand the result
// over first, then release the token, so there is no gap in which nothing
// looks busy.

namespace dispatch {

class IoToken {
public:
    IoToken();
    ~IoToken();
    IoToken(IoToken&& other) noexcept;
    IoToken& operator=(IoToken&& other) noexcept;
    IoToken(const IoToken&) = delete;
    IoToken& operator=(const IoToken&) = delete;

    // Ends this token's part early; later calls do nothing.
    void release();
    bool isHeld() const { return held_; }

    // How many tokens are held in the process.
    static long outstanding();

private:
    bool held_;
};

}  // namespace dispatch
