// A reply of xcb's, freed with std::free when it goes: `ReplyPtr<xcb_get_screen_saver_reply_t>`.
#pragma once

#include <cstdlib>
#include <memory>

namespace idle {

template <typename Reply>
struct FreeReply {
    void operator()(Reply* reply) const { std::free(reply); }
};
template <typename Reply>
using ReplyPtr = std::unique_ptr<Reply, FreeReply<Reply>>;

}  // namespace idle
