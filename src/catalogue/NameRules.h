#pragma once

#include <QString>

// Names and paths the catalogue file cannot hold faithfully are refused where the user types them.
namespace catalogue {

// Each returns the message to show, or a null string when the text is acceptable.
QString CategoryNameProblem(const QString &name);
QString ProjectNameProblem(const QString &name);
QString PathProblem(const QString &path);

} // namespace catalogue
