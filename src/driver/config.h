// Settings read once from "Talvo.ini" at start-up. The LOG setting switches the
// log (base/log.h) on or off. Each line of the settings file is tested against every key in a fixed order; a
// key matches any line that begins with its letters. Later lines win. Nothing is
// ever reported about the file: a missing or broken file simply leaves defaults.
#pragma once

namespace driver {

struct EngineConfigState {
    int sizeHt = 4;             // SIZE_HT: transposition table megabytes
    int cacheTb = 0;            // CACHE_TB: tablebase cache megabytes, 0 = choose
    int drawValue = 0;          // DRAW_VALUE: a draw's worth from the engine's side
    bool enableResign = true;   // ENABLE_RESIGN
    bool enableBook = true;     // ENABLE_BOOK
    bool log = false;           // LOG: "Talvo.log" is written only when set (base::logEnabled follows it)
    bool learn = true;          // LEARN: read "Talvo.lrn" at start-up
    bool wb2 = true;            // WB2: answer "protover" with feature lines
    char pathTb[256] = {};      // PATH_TB: tablebase directories, "," or ";" apart
    int timeReserve = 2000;     // TIME_RESERVE: clock milliseconds kept for the interface
    int threads = 1;            // THREADS: search threads, the main one included

    EngineConfigState() {
        setDefaults();
        readIni("Talvo.ini");
    }
    // Both leave the log switched as the LOG field says.
    void setDefaults();
    void readIni(const char* fileName);
};

extern EngineConfigState EngineConfig;  // defined in driver/globals.cpp

}  // namespace driver
