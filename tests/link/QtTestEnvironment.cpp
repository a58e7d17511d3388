#include <QCoreApplication>

#include <gtest/gtest.h>

#include <memory>

namespace {

// The link delivers lines through the event loop, so every test needs a
// QCoreApplication; one for the whole run, as in the program.
class QtTestEnvironment : public ::testing::Environment {
public:
    void SetUp() override { m_app = std::make_unique<QCoreApplication>(m_argc, m_argv); }
    void TearDown() override { m_app.reset(); }

private:
    int m_argc = 1;
    char m_name[16] = "ampdesk-tests";
    char* m_argv[2] = {m_name, nullptr};
    std::unique_ptr<QCoreApplication> m_app;
};

[[maybe_unused]] ::testing::Environment* const kQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtTestEnvironment);

}  // namespace
