// The render loop on its own, with samplers whose answers are known.
#include "image/srgb_encoding.h"
#include "io/usable_cpus.h"
#include "render/progress_display.h"
#include "render/render_loop.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <thread>

namespace nocturnia::cli {
namespace {

// Returns the texture point itself as the colour.
struct PointSampler {
    void operator()(const double point[3], double color[3]) const
    {
        color[0] = point[0];
        color[1] = point[1];
        color[2] = point[2];
    }
};

// A colour that depends on the point non-linearly, so averaging order and
// point positions both show in the result bits.
struct WavySampler {
    void operator()(const double point[3], double color[3]) const
    {
        color[0] = std::sin(point[0] * 37.0) * std::cos(point[1] * 11.0);
        color[1] = point[0] * point[0] + point[1];
        color[2] = std::sqrt(point[0] + 2.0 * point[1]);
    }
};

TEST(RenderLoop, PixelsAverageTheirSamplesAtTheContractPoints)
{
    RenderProgress progress;
    const RenderSize size{4, 2, 2};
    const ImageBuffer image = RenderImage(size, PointSampler{}, 1, progress);
    ASSERT_EQ(image.rgb.size(), 4u * 2u * 3u);
    // Pixel (x, y) averages u = (x + 0.25)/4 and (x + 0.75)/4, i.e. its centre.
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 4; ++x) {
            EXPECT_FLOAT_EQ(image.Pixel(x, y)[0], static_cast<float>((x + 0.5) / 4)) << x << "," << y;
            EXPECT_FLOAT_EQ(image.Pixel(x, y)[1], static_cast<float>((y + 0.5) / 2)) << x << "," << y;
            EXPECT_EQ(image.Pixel(x, y)[2], 0.0f);
        }
    }
    EXPECT_EQ(progress.rowsDone.load(), 2);

    double point[3];
    TexturePoint(RenderSize{10, 5, 3}, 9, 4, 2, 0, point);
    EXPECT_EQ(point[0], (9 + (2 + 0.5) / 3) / 10);
    EXPECT_EQ(point[1], (4 + (0 + 0.5) / 3) / 5);
}

TEST(RenderLoop, ThreadCountDoesNotChangeOneBit)
{
    const RenderSize size{37, 23, 3};
    RenderProgress progress;
    const ImageBuffer one = RenderImage(size, WavySampler{}, 1, progress);
    int ticks = 0;
    const ImageBuffer many = RenderImage(
        size, WavySampler{}, 4, progress, [&] { ++ticks; }, std::chrono::milliseconds(1));
    ASSERT_EQ(one.rgb.size(), many.rgb.size());
    EXPECT_EQ(std::memcmp(one.rgb.data(), many.rgb.data(), one.rgb.size() * sizeof(float)), 0);
    EXPECT_EQ(progress.rowsDone.load(), 23);
    EXPECT_GE(ticks, 1);  // the final tick always comes
}

TEST(RenderLoop, MoreThreadsThanRowsAndEmptyImages)
{
    RenderProgress progress;
    const ImageBuffer tall = RenderImage(RenderSize{3, 1, 1}, PointSampler{}, 16, progress);
    EXPECT_FLOAT_EQ(tall.Pixel(2, 0)[0], static_cast<float>(2.5 / 3));
    const ImageBuffer empty = RenderImage(RenderSize{0, 5, 1}, PointSampler{}, 2, progress);
    EXPECT_TRUE(empty.rgb.empty());
}

TEST(RenderLoop, DefaultThreadsFollowTheCpuQuotaAndMask)
{
    EXPECT_EQ(CpuQuotaOf("200000 100000"), 2);
    EXPECT_EQ(CpuQuotaOf("150000 100000\n"), 2);  // a part of a CPU still needs a thread
    EXPECT_EQ(CpuQuotaOf("5000 100000"), 1);
    EXPECT_EQ(CpuQuotaOf("max 100000"), std::nullopt);
    EXPECT_EQ(CpuQuotaOf("12x 100000"), std::nullopt);
    EXPECT_EQ(CpuQuotaOf("100000 0"), std::nullopt);
    EXPECT_EQ(CpuQuotaOf(""), std::nullopt);
    const int usable = UsableCpuCount();
    EXPECT_GE(usable, 1);
    EXPECT_LE(static_cast<unsigned>(usable), std::max(1u, std::thread::hardware_concurrency()));
}

TEST(SrgbEncoding, ClampsAndEncodes)
{
    EXPECT_EQ(SrgbByte(0.0f), 0);
    EXPECT_EQ(SrgbByte(-3.0f), 0);
    EXPECT_EQ(SrgbByte(std::nanf("")), 0);
    EXPECT_EQ(SrgbByte(1.0f), 255);
    EXPECT_EQ(SrgbByte(7.5f), 255);
    EXPECT_EQ(SrgbByte(0.5f), 188);       // 0.7354 of full scale
    EXPECT_EQ(SrgbByte(0.0031308f), 10);  // end of the straight segment: 0.0404 of full scale
    EXPECT_EQ(SrgbByte(0.18f), 118);      // mid grey
    EXPECT_NEAR(EncodeSrgb(0.0031308), 12.92 * 0.0031308, 1e-12);
    EXPECT_NEAR(EncodeSrgb(0.0031309), 12.92 * 0.0031309, 1e-6);  // the two segments meet
}

TEST(ProgressDisplay, LineShowsShareAndTimeLeft)
{
    EXPECT_EQ(ProgressLine(0, 10, 0.0, 10), "[----------]   0%  estimating...");
    EXPECT_EQ(ProgressLine(5, 10, 30.0, 10), "[#####-----]  50%  0:30 left");
    EXPECT_EQ(ProgressLine(1, 4, 65.0, 4), "[#---]  25%  3:15 left");
    EXPECT_EQ(ProgressLine(10, 10, 3725.0, 10), "[##########] 100%  done in 1:02:05");
}

}  // namespace
}  // namespace nocturnia::cli
