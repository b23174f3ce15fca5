// The branding settings' decrypted text: its tags, values and entries.
#include "FuzzSupport.h"
#include "branding/BrandingText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const BrandingText branding = ParseBrandingBytes(InputBytes(data, size));
    for (const auto& [tag, value] : BrandingTagValues(branding))
        (void)SplitBrandingEntry(value);
    return 0;
}
