// The current drawing context: scopes switch it and always bring the previous one back, and a
// stack too deep for its storage is never silent and never leaves a stale context current.
#include <gtest/gtest.h>

#include "host/graphics.h"
#include "support/fake_graphics.h"

namespace {

TEST(CurrentContext, ScopesNestAndRestoreTheContextBeforeThem) {
    fake::RecordingContext view, bitmap;
    host::setCurrentContext(&view);
    {
        const host::CurrentContextScope intoBitmap(&bitmap);
        EXPECT_EQ(host::currentContext(), &bitmap);
        {
            const host::CurrentContextScope none(nullptr);
            EXPECT_EQ(host::currentContext(), nullptr);
        }
        EXPECT_EQ(host::currentContext(), &bitmap);
    }
    EXPECT_EQ(host::currentContext(), &view);
    host::setCurrentContext(nullptr);
}

// Saves one level deeper than the stack holds, then unwinds them all.
void overflowAndUnwind(host::GraphicsContext* outer, host::GraphicsContext* inner,
                       host::GraphicsContext** afterDeepestRestore) {
    host::setCurrentContext(outer);
    for (int i = 0; i < host::kGraphicsStateDepth; ++i) host::saveGraphicsState();
    host::setCurrentContext(inner);
    host::saveGraphicsState();  // one too many
    host::restoreGraphicsState();
    *afterDeepestRestore = host::currentContext();
    for (int i = 0; i < host::kGraphicsStateDepth; ++i) host::restoreGraphicsState();
}

TEST(CurrentContextDeathTest, ASaveDeeperThanTheStackIsLoudAndLeavesNoStaleContext) {
    fake::RecordingContext outer, inner;
    host::GraphicsContext* afterDeepest = &inner;
#ifdef NDEBUG
    testing::internal::CaptureStderr();
    overflowAndUnwind(&outer, &inner, &afterDeepest);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("graphics state stack overflow"), std::string::npos);
    EXPECT_EQ(afterDeepest, nullptr) << "the lost level must not restore a stale context";
    EXPECT_EQ(host::currentContext(), &outer) << "the levels the stack kept unwind as usual";
#else
    EXPECT_DEATH(overflowAndUnwind(&outer, &inner, &afterDeepest), "graphics state stack overflow");
#endif
    host::setCurrentContext(nullptr);
}

}  // namespace
