#include <QCoreApplication>

#include <gtest/gtest.h>

#include <memory>

namespace {

// Lines are delivered and requests wait through the event loop, so every test
// needs an application object: one for the whole run, as in the program.
class CoreAppEnvironment : public ::testing::Environment {
public:
    void SetUp() override { m_app = std::make_unique<QCoreApplication>(m_argc, m_argv); }
    void TearDown() override { m_app.reset(); }

private:
    char m_name[16] = "ampdesk-tests";
    char* m_argv[2] = {m_name, nullptr};
    int m_argc = 1;
    std::unique_ptr<QCoreApplication> m_app;
};

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new CoreAppEnvironment);

}  // namespace
