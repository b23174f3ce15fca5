// The Hot Trends table file: any bytes load, and what was loaded is saved and loaded again unchanged.
#include "FuzzSupport.h"
#include "trends/TrendFiles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const QString path = ScratchPath("dabatase.dat");
    const TrendRows loaded = ParseTrendTable(InputBytes(data, size));
    Check(WriteTrendTable(path, loaded).isEmpty(), "the table could not be saved");
    const TrendTableRead again = ReadTrendTable(path);
    Check(again.error.isEmpty(), "the saved table could not be read");
    Check(SameCells(loaded, again.rows), "the saved table loads otherwise");
    return 0;
}
