#pragma once

#include <Qt>

// Tells when the user comes back to the program from another one, where a project may have been
// edited or built. The first activation at start is no return, and neither is a change between
// the program's own windows (the application stays active through it).
class ReturnFromElsewhere {
public:
    // Whether this change of the application's state is such a return.
    bool Returned(Qt::ApplicationState state);

private:
    bool everActive_ = false;
    bool away_ = false;
};
