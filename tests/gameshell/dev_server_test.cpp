// The developer command server over a real local socket: message decoding,
// each command's answer, bad and oversize messages, clients coming and going.
#include "gameshell/devServer.h"

#include "gameshell/gameCamera.h"
#include "gameshell/gameModes.h"
#include "gameshell/gameobjExports.h"

#include "engine/visualLog.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <string>

namespace
{
// Builds request messages.
struct Msg
{
  std::string b;
  explicit Msg(const std::string& cmd) { str(cmd); }
  Msg& str(const std::string& s)
  {
    b += char(s.size());
    b += s;
    return *this;
  }
  Msg& i(const std::string& name, int v)
  {
    str(name);
    b += 'i';
    b.append((const char*)&v, 4);
    return *this;
  }
  Msg& d(const std::string& name, double v)
  {
    str(name);
    b += 'd';
    b.append((const char*)&v, 8);
    return *this;
  }
  Msg& s(const std::string& name, const std::string& v)
  {
    str(name);
    b += 's';
    return str(v);
  }
};

class DevServerTest : public ::testing::Test
{
protected:
  char dir[64] = "/tmp/qm_devserver_XXXXXX";
  DevServer server;
  int client = -1;

  void SetUp() override
  {
    const char* tmp = getenv("TMPDIR");
    if (tmp && *tmp && strlen(tmp) < 40) snprintf(dir, sizeof(dir), "%s/qm_devserver_XXXXXX", tmp);
    ASSERT_NE(mkdtemp(dir), nullptr);
    setenv("XDG_RUNTIME_DIR", dir, 1);
    ASSERT_TRUE(server.start("qm_dev"));
    client = connectClient();
  }
  void TearDown() override
  {
    if (client >= 0) close(client);
    server.stop();
    rmdir(dir);
  }

  int connectClient()
  {
    int fd = socket(AF_UNIX, SOCK_SEQPACKET, 0);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    snprintf(a.sun_path, sizeof(a.sun_path), "%s", server.path());
    EXPECT_EQ(connect(fd, (sockaddr*)&a, sizeof(a)), 0);
    server.poll();  // accepts
    return fd;
  }

  // Sends one message, polls the server and returns its one answer.
  std::string ask(int fd, const std::string& m)
  {
    EXPECT_EQ(::send(fd, m.data(), m.size(), 0), ssize_t(m.size()));
    server.poll();
    return answer(fd);
  }
  std::string ask(const Msg& m) { return ask(client, m.b); }

  static std::string answer(int fd)
  {
    pollfd p = {fd, POLLIN, 0};
    if (::poll(&p, 1, 200) <= 0) return "<none>";
    char buf[512];
    ssize_t n = recv(fd, buf, sizeof(buf), 0);
    return n < 0 ? "<error>" : std::string(buf, size_t(n));
  }
};

TEST_F(DevServerTest, AnswersEachCommand)
{
  EXPECT_EQ(ask(Msg("checkServer")), "k0.22");
  EXPECT_EQ(ask(Msg("noSuchCommand")), "eUnknown command");
  EXPECT_EQ(ask(Msg("showWorldPal").i("seed", 5)), "k");
  EXPECT_EQ(ask(Msg("setSunDir").d("x", 0.5).i("y", 1).d("z", 0)), "k");
  EXPECT_EQ(ask(Msg("setWindowPos").i("left", 0).i("top", 0).i("width", 640).i("height", 360)), "k");

  force_dev_map = false;
  EXPECT_EQ(ask(Msg("forceDevMap").i("show", 7)), "k");
  EXPECT_TRUE(force_dev_map);
  EXPECT_EQ(ask(Msg("forceDevMap").i("show", 0)), "k");
  EXPECT_FALSE(force_dev_map);

  // Ints are taken where doubles are expected; degrees become radians.
  EXPECT_EQ(ask(Msg("setCamera").d("x", 10.5).d("y", 20).i("z", 30).d("ha", 90).d("va", -45)), "k");
  EXPECT_FLOAT_EQ(camera_pos[0], 10.5f);
  EXPECT_FLOAT_EQ(camera_pos[1], 20.f);
  EXPECT_FLOAT_EQ(camera_pos[2], 30.f);
  EXPECT_FLOAT_EQ(camera_prev_pos[2], 30.f);
  EXPECT_FLOAT_EQ(camera_heading, 1.5707964f);
  EXPECT_FLOAT_EQ(camera_pitch, -0.7853982f);
  // Without a world script the colour goes nowhere, but the command is done.
  EXPECT_EQ(ask(Msg("setWorldPalColor").i("color", int(0xFF102030u)).s("name", "water")), "k");
  set_error_message(nullptr);
  GameMode* was = cur_game_mode;
  use_fog = true;
  EXPECT_EQ(ask(Msg("startShowWorldPal")), "k");
  EXPECT_EQ(cur_game_mode, dev_mode);
  EXPECT_FALSE(use_fog);
  cur_game_mode = was;
  use_fog = true;

  // The first parameter of a name wins.
  EXPECT_EQ(ask(Msg("forceDevMap").i("show", 1).i("show", 0)), "k");
  EXPECT_TRUE(force_dev_map);
  force_dev_map = false;
}

TEST_F(DevServerTest, BadMessagesAreAnsweredAndLogged)
{
  std::string x = Msg("forceDevMap").str("show").b + 'x' + std::string(4, '\0');
  struct Case
  {
    const char* what;
    std::string msg;
    const char* log;
  } cases[] = {
      {"unknown type byte", x, "DevServer: unknown value type 'x'"},
      {"empty message", "", "DevServer: "},
      {"name longer than the message", std::string(1, char(40)) + "abc", "DevServer: "},
      {"truncated int", Msg("forceDevMap").str("show").b + "i\x01\x02", "DevServer: "},
      {"missing parameter", Msg("forceDevMap").b, "DevServer: expected param 'show'"},
      {"string for an int", Msg("forceDevMap").s("show", "1").b, "DevServer: expected int value for param 'show'"},
      {"double for an int", Msg("forceDevMap").d("show", 1).b, "DevServer: expected int value for param 'show'"},
      {"int for a string", Msg("setWorldPalColor").i("color", 1).i("name", 2).b,
       "DevServer: expected string value for param 'name'"},
      {"string for a double", Msg("setSunDir").s("x", "1").b, "DevServer: expected double value for param 'x'"},
  };
  for (const Case& c : cases) {
    testing::internal::CaptureStdout();
    std::string reply = ask(client, c.msg);
    std::string log = testing::internal::GetCapturedStdout();
    EXPECT_EQ(reply, "eBad message format") << c.what;
    EXPECT_NE(log.find(c.log), std::string::npos) << c.what << ": " << log;
  }
  // The server goes on.
  EXPECT_EQ(ask(Msg("checkServer")), "k0.22");
}

TEST_F(DevServerTest, EffectsBeforeAnErrorStay)
{
  set_camera_pos(make4f(0.f, 0.f, 0.f, 1.f));
  camera_heading = camera_pitch = 0.f;
  EXPECT_EQ(ask(Msg("setCamera").d("x", 1).d("y", 2).d("z", 3).d("ha", 180)), "eBad message format");
  EXPECT_FLOAT_EQ(camera_pos[0], 1.f);
  EXPECT_FLOAT_EQ(camera_heading, 3.14159265f);
  EXPECT_FLOAT_EQ(camera_pitch, 0.f);
}

TEST_F(DevServerTest, LongAndOversizeMessages)
{
  // Longer than the 1024-byte chunk: still one message.
  Msg big("forceDevMap");
  for (int k = 0; k < 20; k++)
    big.s("pad" + std::to_string(k), std::string(100, 'a' + k));
  big.i("show", 1);
  ASSERT_GT(big.b.size(), 2048u);
  EXPECT_EQ(ask(big), "k");
  EXPECT_TRUE(force_dev_map);
  force_dev_map = false;

  // Beyond what any request needs: refused whole, and the next one is read.
  std::string huge = Msg("checkServer").b + std::string(LocalServer::MAX_MESSAGE, 'z');
  testing::internal::CaptureStdout();
  EXPECT_EQ(ask(client, huge), "eBad message format");
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(ask(Msg("checkServer")), "k0.22");
}

TEST_F(DevServerTest, OneClientAtATime)
{
  testing::internal::CaptureStdout();
  EXPECT_FALSE(server.start("qm_dev"));
  EXPECT_NE(testing::internal::GetCapturedStdout().find("LocalServer: server already started"), std::string::npos);

  // A second client waits while the first is served...
  int second = socket(AF_UNIX, SOCK_SEQPACKET, 0);
  sockaddr_un a{};
  a.sun_family = AF_UNIX;
  snprintf(a.sun_path, sizeof(a.sun_path), "%s", server.path());
  ASSERT_EQ(connect(second, (sockaddr*)&a, sizeof(a)), 0);
  Msg check("checkServer");
  ASSERT_EQ(::send(second, check.b.data(), check.b.size(), 0), ssize_t(check.b.size()));
  server.poll();
  EXPECT_EQ(answer(second), "<none>");
  EXPECT_EQ(ask(Msg("checkServer")), "k0.22");

  // ...and is taken once the first closes its end; an answer to a client
  // that has gone does not end the game.
  Msg m("checkServer");
  ASSERT_EQ(::send(client, m.b.data(), m.b.size(), 0), ssize_t(m.b.size()));
  close(client);
  client = -1;
  server.poll();  // answers into a closed socket, then drops it
  server.poll();  // sees the end if not yet seen
  server.poll();  // accepts the second
  server.poll();  // reads its message
  EXPECT_EQ(answer(second), "k0.22");
  close(second);
}

TEST(DevServerStart, StaleSocketIsTakenOverAndLongNamesRefused)
{
  char dir[64] = "/tmp/qm_devserver_XXXXXX";
  const char* tmp = getenv("TMPDIR");
  if (tmp && *tmp && strlen(tmp) < 40) snprintf(dir, sizeof(dir), "%s/qm_devserver_XXXXXX", tmp);
  ASSERT_NE(mkdtemp(dir), nullptr);
  setenv("XDG_RUNTIME_DIR", dir, 1);
  std::string path = std::string(dir) + "/qm_stale";
  {
    // A socket file nobody listens on, as a killed game leaves it.
    int fd = socket(AF_UNIX, SOCK_SEQPACKET, 0);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    snprintf(a.sun_path, sizeof(a.sun_path), "%s", path.c_str());
    ASSERT_EQ(bind(fd, (sockaddr*)&a, sizeof(a)), 0);
    close(fd);
  }
  DevServer s;
  EXPECT_TRUE(s.start("qm_stale"));
  DevServer other;
  testing::internal::CaptureStdout();
  EXPECT_FALSE(other.start("qm_stale"));  // a live server is never taken over
  EXPECT_FALSE(other.start(std::string(200, 'n').c_str()));
  EXPECT_FALSE(other.start("../escape"));
  testing::internal::GetCapturedStdout();
  s.stop();
  EXPECT_NE(access(path.c_str(), F_OK), 0);
  rmdir(dir);
}
}  // namespace
