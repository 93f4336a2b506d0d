#pragma once
// Embedded pictures, read from and written into each kind of tag: TagLib
// keeps them per container, outside the property maps.
#include "audio/TagGlue.h"

#include <taglib/flacpicture.h>
#include <taglib/tlist.h>

namespace TagLib {
namespace ID3v2 {
class Tag;
}
namespace MP4 {
class Tag;
}
namespace ASF {
class Tag;
}
namespace APE {
class Tag;
}
} // namespace TagLib

namespace audio_detail {

Pictures id3Pictures(const TagLib::ID3v2::Tag *tag);
void setId3Pictures(TagLib::ID3v2::Tag *tag, const Pictures &pictures);

// FLAC's own picture blocks and the Vorbis comment's both hold FLAC pictures.
Pictures flacPictures(const TagLib::List<TagLib::FLAC::Picture *> &list);
// A new picture for the caller's tag or file to own.
TagLib::FLAC::Picture *toFlacPicture(const Picture &p);

Pictures mp4Pictures(const TagLib::MP4::Tag *tag);
void setMp4Pictures(TagLib::MP4::Tag *tag, const Pictures &pictures);

Pictures asfPictures(const TagLib::ASF::Tag *tag);
void setAsfPictures(TagLib::ASF::Tag *tag, const Pictures &pictures);

Pictures apePictures(const TagLib::APE::Tag *tag);
void setApePictures(TagLib::APE::Tag *tag, const Pictures &pictures);

} // namespace audio_detail
