#pragma once
// Puts the store screens into KVTRViewFactory, so the facade's openers make
// them: both store halls, the announcement and the time-store banner. The
// app calls it once at launch.

class KVTRStoreViews {
public:
    KVTRStoreViews() = delete;
    static void install();
};
