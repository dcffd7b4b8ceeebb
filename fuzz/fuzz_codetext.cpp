// Feeds arbitrary bytes to the code text reader, then writes the document back.
#include "fuzzsupport.h"

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    initFuzzApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    TextEdit edit;
    edit.setCodeText(QString::fromUtf8(reinterpret_cast<const char *>(data), int(size)));
    checkWrittenText(edit);
    return 0;
}
