#pragma once
// Owners for the Ogg and Theora decoder state a clip keeps.
//   OggSync        the page synchroniser
//   OggStream      one logical stream's packet assembler (open or not)
//   TheoraHeaders  the stream header, comments and setup tables being parsed
//   TheoraDecoder  the decoder itself
#include <memory>
#include <ogg/ogg.h>
#include <theora/theoradec.h>

struct OggSync {
    OggSync() { ogg_sync_init(&state); }
    ~OggSync() { ogg_sync_clear(&state); }
    OggSync(const OggSync&) = delete;
    OggSync& operator=(const OggSync&) = delete;
    ogg_sync_state state;
};

struct OggStream {
    OggStream() = default;
    ~OggStream() { close(); }
    OggStream(const OggStream&) = delete;
    OggStream& operator=(const OggStream&) = delete;
    void open(int serial) {
        close();
        ogg_stream_init(&state, serial);
        isOpen = true;
    }
    void close() {
        if (isOpen) ogg_stream_clear(&state);
        isOpen = false;
    }
    ogg_stream_state state{};
    bool isOpen = false;
};

struct TheoraHeaders {
    TheoraHeaders() { init(); }
    ~TheoraHeaders() { clear(); }
    TheoraHeaders(const TheoraHeaders&) = delete;
    TheoraHeaders& operator=(const TheoraHeaders&) = delete;
    void reset() {
        clear();
        init();
    }
    th_info info;
    th_comment comment;
    th_setup_info* setup = nullptr;

private:
    void init() {
        th_info_init(&info);
        th_comment_init(&comment);
    }
    void clear() {
        th_setup_free(setup);
        setup = nullptr;
        th_comment_clear(&comment);
        th_info_clear(&info);
    }
};

struct TheoraDecoderFree {
    void operator()(th_dec_ctx* decoder) const { th_decode_free(decoder); }
};
using TheoraDecoder = std::unique_ptr<th_dec_ctx, TheoraDecoderFree>;
