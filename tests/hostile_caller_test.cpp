// Every export called as a careless or hostile caller would: null pointers, zero,
// negative and huge sizes, null, invalid and closed handles; before a connect, while
// connected and after a disconnect. The library must return, write nothing past the
// buffers it was given and leave no worker running.
#include <climits>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/export_calls.h"
#include "support/procedure_fixture.h"
#include "worker/procedure_worker.h"

namespace fpm::test {
namespace {

constexpr std::int64_t kLargestBuffer = 1 << 20;
constexpr std::size_t kGuard = 64;
constexpr std::uint8_t kFill = 0xA5;

enum class Style { NullsAndZeros, Negative, Huge, Plausible };

class FixedArguments : public Arguments {
public:
    FixedArguments(Style style, FPM_HANDLE open, FPM_HANDLE closed, std::int64_t imageBytes, std::int64_t pixels)
        : style_(style), open_(open), closed_(closed), imageBytes_(imageBytes), pixels_(pixels)
    {
    }

    std::int32_t integer() override
    {
        switch (style_) {
        case Style::NullsAndZeros: return 0;
        case Style::Negative: return -1;
        case Style::Huge: return INT_MAX;
        case Style::Plausible: return 1;
        }
        return 0;
    }
    std::uint8_t *buffer(std::int64_t bytes) override
    {
        if (style_ == Style::NullsAndZeros || bytes < 0) return nullptr;
        // A caller cannot hand over more than this; the library refuses such sizes anyway.
        const std::size_t size = static_cast<std::size_t>(std::min(bytes, kLargestBuffer));
        buffers_.push_back(std::make_unique<std::vector<std::uint8_t>>(size + kGuard, kFill));
        sizes_.push_back(size);
        return buffers_.back()->data();
    }
    FPM_HANDLE handle() override
    {
        switch (style_) {
        case Style::NullsAndZeros: return nullptr;
        case Style::Negative: return FPM_INVALID_HANDLE;
        case Style::Huge: return closed_;
        case Style::Plausible: return open_;
        }
        return nullptr;
    }
    const FPM_WCHAR *text() override
    {
        switch (style_) {
        case Style::NullsAndZeros: return nullptr;
        case Style::Negative: return reinterpret_cast<const FPM_WCHAR *>(u"");
        case Style::Huge: return reinterpret_cast<const FPM_WCHAR *>(longText_.c_str());
        case Style::Plausible: return reinterpret_cast<const FPM_WCHAR *>(u"wexa");
        }
        return nullptr;
    }
    bool callback() override { return style_ != Style::NullsAndZeros; }
    std::int64_t imageBytes() override { return imageBytes_; }
    std::int64_t pixels() override { return pixels_; }
    void sizeReported(FPM_RESULT, const std::int32_t *, const std::int32_t *, const unsigned char *, int) override {}

    // The first buffer whose guard bytes were overwritten, or -1.
    int overwrittenBuffer() const
    {
        for (std::size_t i = 0; i < buffers_.size(); ++i)
            for (std::size_t j = sizes_[i]; j < sizes_[i] + kGuard; ++j)
                if ((*buffers_[i])[j] != kFill) return static_cast<int>(i);
        return -1;
    }

private:
    Style style_;
    FPM_HANDLE open_, closed_;
    std::int64_t imageBytes_, pixels_;
    std::u16string longText_ = std::u16string(1000, u'w');
    std::vector<std::unique_ptr<std::vector<std::uint8_t>>> buffers_;
    std::vector<std::size_t> sizes_;
};

enum class Connection { BeforeConnect, Connected, AfterDisconnect };

class HostileCallerTest : public LibraryTest, public ::testing::WithParamInterface<std::tuple<Connection, Style>> {
protected:
    ScopedFakeClock time{5000};
    void TearDown() override
    {
        stopWorkers();
        LibraryTest::TearDown();
    }
    static void stopWorkers()
    {
        // A worker that waits for a finger ends with a cancel; tests then wait for it.
        if (procedure::activeWorkers() != 0) DoCancel();
        ASSERT_TRUE(waitForWorkers());
        CompleteEnrollmentProcedure();
    }
};

TEST_P(HostileCallerTest, EveryExportReturnsAndStaysWithinItsBuffers)
{
    const auto [connection, style] = GetParam();
    std::set<std::string> called;
    for (const ExportCall &call : exportCalls()) {
        SCOPED_TRACE(call.name);
        resetLibraryState();
        host().reset();
        host().addModule();
        std::int64_t imageBytes = 0, pixels = 0;
        if (connection != Connection::BeforeConnect) {
            ASSERT_EQ(CheckDeviceConnection(), 1);
            std::int32_t w = 0, h = 0;
            unsigned char depth = 0;
            ASSERT_EQ(QuerySizeEx(&w, &h, &depth), 1);
            pixels = static_cast<std::int64_t>(w) * h;
            imageBytes = pixels * depth;
        }
        if (connection == Connection::AfterDisconnect) {
            ASSERT_EQ(DeviceDisConnection(), 1);
        }
        FPM_HANDLE open = host().open(sim::kModulePath);
        FPM_HANDLE closed = host().open(sim::kModulePath);
        host().closeHandle(closed);

        g_callbackImageBytes.store(pixels);
        FixedArguments arguments(style, open, closed, imageBytes, pixels);
        call.call(arguments);
        stopWorkers();
        EXPECT_EQ(arguments.overwrittenBuffer(), -1) << "written past a buffer";
        called.insert(call.name);
    }
    EXPECT_EQ(called.size(), 137u);
}

std::string caseName(const ::testing::TestParamInfo<HostileCallerTest::ParamType> &info)
{
    static const char *connections[] = {"BeforeConnect", "Connected", "AfterDisconnect"};
    static const char *styles[] = {"NullsAndZeros", "Negative", "Huge", "Plausible"};
    return std::string(connections[static_cast<int>(std::get<0>(info.param))]) +
           styles[static_cast<int>(std::get<1>(info.param))];
}

INSTANTIATE_TEST_SUITE_P(AllExports, HostileCallerTest,
                         ::testing::Combine(::testing::Values(Connection::BeforeConnect, Connection::Connected,
                                                              Connection::AfterDisconnect),
                                            ::testing::Values(Style::NullsAndZeros, Style::Negative, Style::Huge,
                                                              Style::Plausible)),
                         caseName);

// The table is the export list: a new export cannot be left out of the walk.
TEST(ExportTable, NamesEveryExportOnce)
{
#ifdef _WIN32
    GTEST_SKIP() << "the export list is checked on the native build";
#endif
    std::ifstream def(FPM_DEF_FILE);
    ASSERT_TRUE(def.good());
    std::set<std::string> exported;
    std::string line;
    while (std::getline(def, line)) {
        std::istringstream words(line);
        std::string name;
        if (!(words >> name) || name == "EXPORTS" || name == "LIBRARY" || name[0] == ';') continue;
        exported.insert(name);
    }
    std::set<std::string> table;
    for (const ExportCall &call : exportCalls()) EXPECT_TRUE(table.insert(call.name).second) << call.name;
    EXPECT_EQ(table, exported);
}

}  // namespace
}  // namespace fpm::test
