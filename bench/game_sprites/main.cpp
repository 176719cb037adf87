// Frames of a real game through the velk executable, headless at 1024x768: the game's
// render calls gfx_render_sprite for N rotated, alpha-blended 32x32 sprites, so the
// figures hold the frame loop, the bindings, the batch, the device and the present.
// Prints ms per frame for 1,000, 5,000, 20,000 and 40,000 sprites and the largest N
// that fits a 60 Hz frame (16.7 ms), found by halving.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "fixtures/image_fixtures.h"
#include "fixtures/temp_dir.h"

extern char** environ;

namespace {

constexpr const char* kConfig =
    "create_log = true\nportable = true\ndisable_audio = true\nproduct_name = \"Velk Sprite Bench\"\n"
    "width = 1024\nheight = 768\n";

// Measures each count over 60 frames after 20 to warm up, then halves the interval
// between the largest count within budget and the smallest beyond it.
constexpr const char* kGame = R"(
local counts, budget = {1000, 5000, 20000, 40000}, 16.7
local sprites, ball = {}, nil
local n, phase, frames, started = 0, 1, 0, 0
local fits, beyond = 0, nil

local function place(count)
  local seed = 12345
  local function next()
    seed = (seed * 214013 + 2531011) % 4294967296
    return math.floor(seed / 65536) % 32768 / 32767
  end
  sprites = {}
  for i = 1, count do sprites[i] = {x = next() * 1024, y = next() * 768, a = next() * 360, w = next() * 90 - 45} end
  n = count
end

local function next_count()
  if phase <= #counts then return counts[phase] end
  if not beyond or beyond - fits <= math.max(250, fits / 50) then return nil end
  return math.floor((fits + beyond) / 2)
end

local function finish(ms)
  log(string.format("bench: %d sprites %.2f ms per frame", n, ms))
  if ms <= budget then fits = math.max(fits, n) elseif not beyond or n < beyond then beyond = n end
  phase = phase + 1
  local count = next_count()
  if not count then
    log(string.format("bench: largest within %.1f ms: %d", budget, fits))
    sys_exit()
    return
  end
  place(count)
end

function boot() end

function init()
  ball = gfx_load_bitmap("ball.png")
  place(counts[1])
end

function update(dt)
  frames = frames + 1
  if frames == 20 then started = timer_systime() end
  if frames == 80 then
    local ms = (timer_systime() - started) * 1000 / 60
    frames = 0
    finish(ms)
  end
end

function render()
  local dt = 0.016
  for i = 1, n do
    local s = sprites[i]
    s.a = s.a + s.w * dt
    gfx_render_sprite(ball, "main", s.x, s.y, 0.75, s.a)
  end
end
)";

int RunVelk(const std::string& executable, const std::filesystem::path& folder) {
    char* const argv[] = {const_cast<char*>(executable.c_str()), nullptr};
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("VELK_HEADLESS", "1", 0);
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(folder);
    // The engine echoes its log to standard error: the figures are read from log.txt.
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    const int failed = posix_spawn(&child, executable.c_str(), &quiet, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&quiet);
    std::filesystem::current_path(previous);
    if (failed) return -1;
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

// An argument names the executable to run in place of this build's (to set builds side by
// side); it must be an absolute path.
int main(int argc, char** argv) {
    const std::string executable = argc > 1 ? argv[1] : VELK_EXECUTABLE;
    const TempDir game;
    game.Write("config.cfg", kConfig);
    game.Write("language.txt", "en\n");
    game.Write("version.txt", "1 2026-01-01\n");
    game.Write("data/init.lua", kGame);
    game.Write("data/ball.png", BallImage());
    const int status = RunVelk(executable, game.path());
    std::ifstream log(game / "user" / "log.txt");
    std::string line;
    bool any = false;
    while (std::getline(log, line))
        if (line.rfind("bench: ", 0) == 0) {
            std::printf("%s\n", line.c_str() + 7);
            any = true;
        }
    if (status != 0 || !any) {
        std::fprintf(stderr, "the game ended with status %d; see its log.txt\n", status);
        return 1;
    }
    return 0;
}
