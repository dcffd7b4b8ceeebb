#pragma once

#include <QString>

// One image transfer in flight: where its picture goes and what it is.
struct ImageInfo {
    int position = 0; // document position of the placeholder when it was inserted
    QString formulaStr; // TeX source of a formula, else empty
    QString fileKey; // image server key of a picture, else empty
    int width = 0; // wanted display size; 0 = the image's own
    int height = 0;
    // Unique image name the placeholder carries until the picture arrives, so the picture is
    // put where the placeholder is now rather than where it was.
    QString placeholderName;
    // a picture of pasted HTML fetched from elsewhere: uploaded once it has arrived
    bool uploadAfterDownload = false;
};
