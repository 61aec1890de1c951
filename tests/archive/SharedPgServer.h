#pragma once

#include "PgServer.h"

#include <gtest/gtest.h>

// One PostgreSQL server for a test program's run, started by the first test that asks (initdb takes
// seconds) and stopped when the run ends; nullptr when it did not start (its error() says why).
inline PgServer *sharedPgServer(std::string *error = nullptr)
{
    struct Environment : ::testing::Environment {
        void TearDown() override { server.stop(); }
        PgServer server;
        bool started = false;
    };
    static auto *const environment =
        static_cast<Environment *>(::testing::AddGlobalTestEnvironment(new Environment));
    if (!environment->started && !environment->server.start()) {
        if (error)
            *error = environment->server.error();
        return nullptr;
    }
    environment->started = true;
    return &environment->server;
}
