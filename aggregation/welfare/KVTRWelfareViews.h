#pragma once
// Puts the resource hall and the lucky-gift pop-up, in both orientations,
// into KVTRViewFactory, so the facade's openers make them. The app calls it
// once at launch.

class KVTRWelfareViews {
public:
    KVTRWelfareViews() = delete;
    static void install();
};
