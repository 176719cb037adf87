#pragma once
// The renderer front end over a recording device: a 1024x768 window showing the
// 1024x768 virtual screen, one batch slot, the default projection loaded.
#include <gtest/gtest.h>

#include "core/config.h"
#include "fake_device.h"
#include "graphics/render.h"
#include "graphics/render_d3d.h"
#include "graphics/sprite_batch.h"
#include "graphics/texture.h"

class RenderFixture : public testing::Test {
protected:
    void SetUp() override {
        InitConfigDefaults();
        InitRenderGlobals();
        g_renderer.windowWidth = 1024;
        g_renderer.windowHeight = 768;
        UpdateViewportScale();
        D3D_AttachDeviceForTest(&device);
        AllocateBatchBuffers();
        SetDefaultProjection();
    }
    void TearDown() override {
        FreeBatchBuffers();
        D3D_AttachDeviceForTest(nullptr);
    }

    void UseWindow(int width, int height) {
        g_renderer.windowWidth = width;
        g_renderer.windowHeight = height;
        UpdateViewportScale();
        SetDefaultProjection();
    }

    // A texture record over its own device texture of the given size.
    struct TestTexture {
        FakeTexture device;
        Texture record;
        TestTexture(int width, int height) : device(width, height, D3DFMT_A8R8G8B8, 4) {
            record.width = width;
            record.height = height;
            record.deviceTexture = &device;
        }
    };

    void Quad(Texture* texture, float u1 = 1.0f, float x = 100.0f) {
        DrawTexturedQuad(x, 100, 0, 32, 32, 0, 0, u1, 1, texture, 0, 1, 1, 1, nullptr, 16, 16, 0, 0, 0, 0);
    }

    FakeDevice device;
};
