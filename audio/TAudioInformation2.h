#pragma once
#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

namespace audio_detail {
// A picture embedded in a tag, kept in a form each container's own can be made from.
struct TagPicture {
    QByteArray data;
    QString mimeType;    // "image/png"; guessed from the bytes where the tag has none
    QString description;
    int type = 3;        // ID3v2 / FLAC / ASF picture type: 3 front cover, 4 back, ...
    int width = 0, height = 0, colorDepth = 0, colors = 0; // FLAC's block fields, 0 unknown
};
} // namespace audio_detail

// Inspects one file (format, exact length, size, tag) without decoding it all,
// and writes tags. LoadFile, SaveTag and UpdateTag throw AudioError naming the file.
//
// LoadFile keeps the whole tag: the fields below, every other text field the
// file's tags hold (track, disc, album artist, composer, lyrics, free-text
// genres ...) and the embedded pictures, so that SaveTag can carry all of it
// into a file of another format.
class TAudioInformation2 {
public:
    // Replaces everything loaded before; a failure leaves it as it was.
    void LoadFile(const QString &fileName);

    int64_t Duration() const { return durationMs_; }    // milliseconds
    int64_t TotalSamples() const { return totalSamples_; } // frames
    int64_t FileSize() const { return fileSize_; }       // bytes
    QString FormatText() const { return formatText_; }
    int SampleRate() const { return sampleRate_; }
    int Channels() const { return channels_; }
    // MPEG-1, 2 or 2.5 Layer III: the frames can be copied without re-encoding.
    bool IsMpegLayer3() const { return mpegLayer_ == 3; }

    QString infoTitle() const { return title_; }
    void setInfoTitle(const QString &v) { title_ = v; }
    QString infoArtist() const { return artist_; }
    void setInfoArtist(const QString &v) { artist_ = v; }
    QString infoAlbum() const { return album_; }
    void setInfoAlbum(const QString &v) { album_ = v; }
    QString infoComments() const { return comments_; }
    void setInfoComments(const QString &v) { comments_ = v; }
    int infoYear() const { return year_; }
    void setInfoYear(int v) { year_ = v; }
    // ID3v1 genre number, 255 unknown or not one of the list. A genre the list
    // lacks ("Synthwave") still travels as text until setInfoGenre is called:
    // any call replaces it, with GenreName(v) or none.
    int infoGenre() const { return genre_; }
    void setInfoGenre(int v)
    {
        genre_ = v;
        genreSet_ = true;
    }
    QString GenreName(int genre) const;
    // The first value of a text field of the loaded tags by its property
    // name ("ALBUMARTIST", "TRACKNUMBER"); empty when the file has none.
    QString infoProperty(const QString &name) const { return properties_.value(name).value(0); }
    // "k/n" written into the next SaveTag (and rendered tags); empty: the
    // loaded file's own track number is kept. LoadFile clears it.
    QString infoTrack() const { return track_; }
    void setInfoTrack(const QString &v) { track_ = v; }
    // Text fields written over all others into the next SaveTag and rendered
    // tags, by property name ("TITLE", "ARTIST", "ALBUM", "DATE", "GENRE",
    // "TRACKNUMBER"): a part's own tag, such as a CUE sheet's track. An
    // empty map writes none. LoadFile and ClearTag clear them.
    void setInfoOverrides(const QMap<QString, QString> &fields) { overrides_ = fields; }
    // Whether SaveTag and RenderId3v2Tag carry the loaded file's chapter marks
    // (ID3v2 CHAP/CTOC frames, CHAPTERnnn comments); on by default. A part of
    // a split holds a stretch of the source, which its chapters do not describe.
    void setCarryChapters(bool carry) { carryChapters_ = carry; }

    // The source's own ID3v2 tag (pictures and every other frame kept) with
    // the edited fields and the track applied, as ID3v2.3 bytes to put in
    // front of an MP3 stream. Fields of the loaded tag that only the source's
    // APE or ID3v1 tag holds are added (those tags do not travel with the
    // frames). Without an ID3v2 tag in the source one is built from the loaded tag. Throws AudioError naming
    // the file when it cannot be read.
    QByteArray RenderId3v2Tag(const QString &sourceFileName) const;

    // The tag of a new output file: the whole loaded tag with the current
    // fields over it, replacing whatever tag fileName has. MP3 gets ID3v2.3
    // only, WAV an "id3 " chunk and RIFF INFO. The encoder name is the source
    // file's own fact and is not carried.
    void SaveTag(const QString &fileName);

    // Forgets the loaded tag (its fields, every other field, its pictures), so
    // that the next SaveTag writes only what is set after this: for a file
    // made of several sources, whose last LoadFile is not its tag.
    void ClearTag();

    // Updates the user's own file in place: only the fields edited since
    // LoadFile (and the track when set) change, in every tag the file has;
    // the tag types, the ID3v2 version, every other field, the audio bytes
    // and the file itself (inode, mode, owner, links) stay. A file without a
    // tag gets the format's usual one. What was written becomes the loaded tag.
    void UpdateTag(const QString &fileName);

private:
    // Writes the tag of an output into the file at `path`; `name` is the file the user knows.
    void writeTag(const QString &path, const QString &name) const;
    // The fields changed since LoadFile, as property names ("TITLE", "DATE",
    // "GENRE", "TRACKNUMBER" ...) to their new values; an empty list removes.
    QMap<QString, QStringList> edits() const;

    int64_t durationMs_ = 0;
    int64_t totalSamples_ = 0;
    int64_t fileSize_ = 0;
    QString formatText_;
    int sampleRate_ = 0;
    int channels_ = 0;
    QString title_, artist_, album_, comments_;
    int year_ = 0;
    int genre_ = 255;
    int mpegLayer_ = 0;
    QString track_;
    QMap<QString, QString> overrides_;
    bool carryChapters_ = true;

    // The fields as LoadFile found them, to tell what was edited.
    struct LoadedFields {
        QString title, artist, album, comments;
        int year = 0;
    } loaded_;
    bool genreSet_ = false;
    // Every text field of the loaded file's tags, by TagLib's property names
    // (a field two tags hold comes from the more complete one: ID3v2 over APE
    // over ID3v1, an "id3 " chunk over RIFF INFO).
    QMap<QString, QStringList> properties_;
    std::vector<audio_detail::TagPicture> pictures_;
};
