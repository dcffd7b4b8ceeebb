// Feeds arbitrary bytes to the HTML import, then writes the document back as code text.
#include "fuzzsupport.h"

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    initFuzzApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    TextEdit edit;
    edit.insertHtml(QString::fromUtf8(reinterpret_cast<const char *>(data), int(size)));
    checkWrittenText(edit);
    return 0;
}
