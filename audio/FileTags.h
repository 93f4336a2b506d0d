#pragma once
// Which tags one file holds, kind by kind, and reading all of them into the
// component's terms.
#include "audio/TagProperties.h"

#include <taglib/apetag.h>
#include <taglib/asftag.h>
#include <taglib/flacfile.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/mp4tag.h>
#include <taglib/xiphcomment.h>

#include <vector>

namespace TagLib {
class File;
}

namespace audio_detail {

// The tags of one file, each kind at most once.
struct FileTags {
    TagLib::Ogg::XiphComment *xiph = nullptr;
    TagLib::ASF::Tag *asf = nullptr;
    TagLib::MP4::Tag *mp4 = nullptr;
    TagLib::ID3v2::Tag *id3v2 = nullptr;
    TagLib::APE::Tag *ape = nullptr;
    TagLib::RIFF::Info::Tag *info = nullptr;
    TagLib::ID3v1::Tag *id3v1 = nullptr;
    TagLib::Tag *other = nullptr;       // a format with none of the kinds above
    TagLib::FLAC::File *flac = nullptr; // its pictures are blocks of their own

    // Most complete first: that is where a field two tags hold is read from.
    std::vector<TagLib::Tag *> all() const
    {
        std::vector<TagLib::Tag *> v;
        for (TagLib::Tag *t : {static_cast<TagLib::Tag *>(xiph), static_cast<TagLib::Tag *>(asf),
                               static_cast<TagLib::Tag *>(mp4), static_cast<TagLib::Tag *>(id3v2),
                               static_cast<TagLib::Tag *>(ape), static_cast<TagLib::Tag *>(info),
                               static_cast<TagLib::Tag *>(id3v1), other})
            if (t)
                v.push_back(t);
        return v;
    }
};

// The tags `file` holds on disk, or (forOutput) the ones a new file of its
// format gets: ID3v2 for MP3, both an "id3 " chunk and INFO for WAV, the
// Vorbis comment for FLAC, APE for Musepack, Monkey's Audio and WavPack.
FileTags tagsOf(TagLib::File *file, bool forOutput);

// The pictures of the first of the file's tags that holds any.
Pictures picturesOf(const FileTags &t);
// The pictures into every tag of the file that can hold them.
void setPictures(const FileTags &t, const Pictures &pictures);

struct ReadTag {
    TagFields fields;
    Properties properties;
    Pictures pictures;
};
// Everything the tags of the file at `path` hold; nothing for a file whose
// tags cannot be read.
ReadTag readTags(const QString &path);

} // namespace audio_detail
