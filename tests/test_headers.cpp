// The translation unit GoogleTest's precompiled headers are made with.
