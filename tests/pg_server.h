// A private PostgreSQL server for the tests and the benchmark: a cluster
// made with initdb in a temporary folder, listening on a Unix socket in
// that folder only, run by an unprivileged user (initdb refuses root: as
// root, the servers run as the system user `trialixtest` that scripts/deps
// makes), and removed with the folder.
#pragma once

#include <string>
#include <vector>

struct pg_server {
    pg_server();    // makes the cluster (and the database "trialix"), and starts it
    ~pg_server();   // stops it and removes everything
    pg_server(const pg_server &) = delete;
    pg_server &operator=(const pg_server &) = delete;

    bool start();
    bool stop();
    // The connection string for `user` (a role of the cluster) to the
    // database "trialix"; the cluster's superuser is "admin".
    std::string conninfo(const std::string &user = "admin") const;
    // Runs `sql` as `user`; "" when it worked, else the server's message.
    std::string exec(const std::string &sql, const std::string &user = "admin") const;
    // The first value the query gives as `user`, or "" (and *failed).
    std::string value(const std::string &sql, const std::string &user = "admin",
                      bool *failed = nullptr) const;

    bool ready = false;   // made and started
    std::string problem;  // why not

private:
    std::string dir_;
    bool run_as_owner(const std::vector<std::string> &args);
};
