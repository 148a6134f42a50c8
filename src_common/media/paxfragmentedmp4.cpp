#include "paxfragmentedmp4.h"

#include "paxavptr.h"

#include <QFile>
#include <QFileInfo>

extern "C" {
#include <libavutil/dict.h>
}

#include <cerrno>
#include <cstdio>

namespace paxmp4 {

bool isMp4Family(const AVOutputFormat* format)
{
    const QByteArray name(format ? format->name : "");
    return name.contains("mp4") || name.contains("mov");
}

void addFragmentOptions(AVDictionary** options)
{
    av_dict_set(options, "movflags", "empty_moov+default_base_moof", 0);
    av_dict_set(options, "frag_duration", kFragmentMicroseconds, 0);
    // The muxer hands over whole fragments; without this the file output keeps up to 256 KiB
    // of them back, which at a low bit rate is many seconds a kill would lose.
    av_dict_set(options, "flush_packets", "1", 0);
}

int writePacket(AVFormatContext* output, AVPacket* packet, bool fragmented)
{
    return fragmented ? av_write_frame(output, packet) : av_interleaved_write_frame(output, packet);
}

qint64 keepWholeFragments(const QString& file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadWrite))
        return -1;
    const qint64 size = f.size();
    qint64 pos = 0;
    qint64 whole = 0;          // end of the last box that completes a playable unit
    bool openFragment = false; // a "moof" whose "mdat" has not come yet
    while (pos + 8 <= size && f.seek(pos)) {
        const QByteArray head = f.read(16);
        if (head.size() < 8)
            break;
        quint64 length = 0;
        for (int i = 0; i < 4; ++i)
            length = (length << 8) | quint8(head[i]);
        if (length == 1) {
            if (head.size() < 16)
                break;
            length = 0;
            for (int i = 8; i < 16; ++i)
                length = (length << 8) | quint8(head[i]);
        }
        if (length < 8 || qint64(length) > size - pos)
            break;   // runs to the end of the file or past it: cut off
        const QByteArray type = head.mid(4, 4);
        pos += qint64(length);
        if (type == "moof") {
            openFragment = true;
        } else if (type == "mdat") {
            openFragment = false;
            whole = pos;
        } else if (!openFragment) {
            whole = pos;
        }
    }
    if (whole < size && !f.resize(whole))
        return -1;
    return whole;
}

int finishAfterFailedWrite(const QString& file)
{
    if (keepWholeFragments(file) < 0)
        return AVERROR(EIO);
    return rewriteAsPlain(file);
}

namespace {

int copyPackets(AVFormatContext* in, const QByteArray& target)
{
    AVFormatContext* out = nullptr;
    int ret = avformat_alloc_output_context2(&out, nullptr, "mp4", target.constData());
    if (ret < 0 || !out)
        return ret < 0 ? ret : AVERROR(ENOMEM);
    paxav::OutputContext output(out);
    for (unsigned i = 0; i < in->nb_streams; ++i) {
        AVStream* st = avformat_new_stream(out, nullptr);
        if (!st)
            return AVERROR(ENOMEM);
        if ((ret = avcodec_parameters_copy(st->codecpar, in->streams[i]->codecpar)) < 0)
            return ret;
        st->codecpar->codec_tag = 0;
        st->time_base = in->streams[i]->time_base;
    }
    if ((ret = avio_open(&out->pb, target.constData(), AVIO_FLAG_WRITE)) < 0)
        return ret;
    if ((ret = avformat_write_header(out, nullptr)) < 0)
        return ret;
    paxav::Packet packet(av_packet_alloc());
    if (!packet)
        return AVERROR(ENOMEM);
    while ((ret = av_read_frame(in, packet.get())) >= 0) {
        const AVStream* from = in->streams[packet->stream_index];
        av_packet_rescale_ts(packet.get(), from->time_base, out->streams[packet->stream_index]->time_base);
        packet->pos = -1;
        ret = av_interleaved_write_frame(out, packet.get());
        av_packet_unref(packet.get());
        if (ret < 0)
            return ret;
    }
    if (ret != AVERROR_EOF)
        return ret;
    return av_write_trailer(out);
}

} // namespace

int rewriteAsPlain(const QString& file)
{
    const QFileInfo info(file);
    const QString temporary =
        info.absolutePath() + QStringLiteral("/.") + info.completeBaseName() + QStringLiteral(".part.mp4");
    const QByteArray source = QFile::encodeName(file);
    const QByteArray target = QFile::encodeName(temporary);
    AVFormatContext* in = nullptr;
    int ret = avformat_open_input(&in, source.constData(), nullptr, nullptr);
    if (ret < 0)
        return ret;
    paxav::InputContext input(in);
    ret = avformat_find_stream_info(in, nullptr);
    if (ret >= 0)
        ret = copyPackets(in, target);
    if (ret >= 0 && std::rename(target.constData(), source.constData()) != 0)
        ret = AVERROR(errno);
    if (ret < 0)
        QFile::remove(temporary);
    return ret < 0 ? ret : 0;
}

} // namespace paxmp4
