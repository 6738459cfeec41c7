// The picture control: shows one picture chosen by file name. Raster
// files go through the imaging library's readers, metafiles and icons
// through the picture object, ".RES" names through the program's bitmap
// resources, ".SCM" and ".CMS" start the text effects. It writes what it
// shows as a GIF file.
#pragma once

#include "controls/imaging/multi_picture.h"

namespace controls {

class TPMultiImage : public TPMultiPictureBase {
public:
    explicit TPMultiImage(gui::TComponent* AOwner);

    // Reading loads the stored file again and returns the status text.
    std::string ImageName();
    void SetImageName(const std::string& name);
    std::string DefSaveFilename;
    // Writes the picture as GIF (to FileName, which becomes DefSaveFilename,
    // or to DefSaveFilename when empty). False, after a visible
    // "Writing gif file failed", for an empty picture, an unwritable target
    // or a writer error; the target is then left as it was.
    bool SaveGifFile(const std::string& fileName);

private:
    std::string Load();
};

}  // namespace controls
