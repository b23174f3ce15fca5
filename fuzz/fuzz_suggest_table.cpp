// The Suggest table file: any bytes load, and what was loaded is saved and loaded again unchanged.
#include "FuzzSupport.h"
#include "suggest/SuggestFiles.h"
#include "util/TextFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const QString path = ScratchPath("dbsuggest.dat");
    const SuggestRows loaded = ParseSuggestTable(DecodeText(InputBytes(data, size)));
    Check(WriteSuggestTable(path, loaded).isEmpty(), "the table could not be saved");
    const SuggestTableRead again = ReadSuggestTable(path);
    Check(again.error.isEmpty(), "the saved table could not be read");
    Check(SameCells(loaded, again.rows), "the saved table loads otherwise");
    return 0;
}
