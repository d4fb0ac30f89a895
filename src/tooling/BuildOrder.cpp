#include "tooling/BuildOrder.h"

#include "catalogue/SourceList.h"
#include "tooling/mFunction.h"
#include "tooling/mMain.h"

#include <QHash>

#include <algorithm>

namespace tooling {

namespace {

using catalogue::ProjectReference;

// A catalogue on Linux holds Unix paths; one made on Windows (and the examples) Windows paths.
PathStyle styleOf(const QString &projectFile)
{
    return projectFile.startsWith(u'/') ? PathStyle::Posix : PathStyle::Windows;
}

QString pathKey(const QString &path)
{
    QString key = path.toCaseFolded();
    key.replace(u'\\', u'/');
    return key;
}

QString nameKey(const QString &path)
{
    const qsizetype cut = std::max({path.lastIndexOf(u'\\'), path.lastIndexOf(u'/'), path.lastIndexOf(u':')});
    return path.mid(cut + 1).toCaseFolded();
}

// The value of the first line that starts with key=, cleaned as a source line's.
QString valueOf(QByteArrayView vbp, QByteArrayView key)
{
    qsizetype start = 0;
    while (start < vbp.size()) {
        const qsizetype end = start + mMain::ProjectLineSize(vbp.sliced(start));
        const QByteArrayView line = vbp.sliced(start, end - start);
        if (line.size() > key.size() && line[key.size()] == '=' && line.first(key.size()).compare(key, Qt::CaseInsensitive) == 0)
            return catalogue::CleanedSourceValue(line.sliced(key.size() + 1));
        start = end + 1;
    }
    return QString();
}

// Strongly connected parts of the graph (Tarjan, without recursion: a chain may be long).
std::vector<int> componentsOf(const std::vector<std::vector<int>> &edges, int *count)
{
    const int n = int(edges.size());
    std::vector<int> component(n, -1), index(n, -1), low(n, 0);
    std::vector<int> stack;
    std::vector<bool> onStack(n, false);
    std::vector<std::pair<int, size_t>> calls; // node, next edge
    int counter = 0;
    *count = 0;
    for (int root = 0; root < n; ++root) {
        if (index[root] >= 0)
            continue;
        calls.push_back({root, 0});
        while (!calls.empty()) {
            auto &[v, next] = calls.back();
            if (next == 0 && index[v] < 0) {
                index[v] = low[v] = counter++;
                stack.push_back(v);
                onStack[v] = true;
            }
            if (next < edges[v].size()) {
                const int w = edges[v][next++];
                if (index[w] < 0)
                    calls.push_back({w, 0});
                else if (onStack[w])
                    low[v] = std::min(low[v], index[w]);
                continue;
            }
            if (low[v] == index[v]) {
                int w;
                do {
                    w = stack.back();
                    stack.pop_back();
                    onStack[w] = false;
                    component[w] = *count;
                } while (w != v);
                ++*count;
            }
            const int done = v;
            calls.pop_back();
            if (!calls.empty())
                low[calls.back().first] = std::min(low[calls.back().first], low[done]);
        }
    }
    return component;
}

} // namespace

QString BuildOutputOf(const QString &projectFile, QByteArrayView vbp)
{
    const PathStyle style = styleOf(projectFile);
    const QByteArrayView text = vbp.first(qMin<qsizetype>(vbp.size(), mMain::kMaxProjectFileBytes));
    const QString exe = mMain::ProjectExeFrom(projectFile, mMain::ProjectValueIn(text, mMain::ProjectKey::ExeName32), style);
    const QString path32 = valueOf(text, "Path32");
    if (path32.isEmpty() || exe.isEmpty())
        return exe;
    return catalogue::SourcePath(mFunction::GetFolderName(projectFile, style),
                                 path32 + u'\\' + mFunction::GetFileName(exe, style), style);
}

QStringList UsedPaths(const QString &projectFile, const QList<ProjectReference> &references)
{
    const PathStyle style = styleOf(projectFile);
    const QString folder = mFunction::GetFolderName(projectFile, style);
    QStringList paths;
    for (const ProjectReference &reference : references) {
        if (reference.malformed || reference.kind == ProjectReference::Kind::Control || reference.file.isEmpty())
            continue;
        if (QString path = catalogue::SourcePath(folder, reference.file, style); !path.isEmpty())
            paths.append(std::move(path));
    }
    return paths;
}

QStringList ControlFiles(const QList<ProjectReference> &references)
{
    QStringList files;
    for (const ProjectReference &reference : references)
        if (!reference.malformed && reference.kind == ProjectReference::Kind::Control && !reference.file.isEmpty())
            files.append(reference.file);
    return files;
}

namespace {

// pulling: told of each project pulled in, before its dependencies are looked for.
BuildPlan planBuilds(const std::vector<BuildNode> &nodes, const std::vector<int> &chosen,
                     const std::function<bool(int node)> &needsBuild, const std::function<void(int node)> &pulling)
{
    QMultiHash<QString, int> byPath; // outputs and project files
    QMultiHash<QString, int> byName; // outputs' file names
    for (int i = 0; i < int(nodes.size()); ++i) {
        if (!nodes[i].output.isEmpty()) {
            byPath.insert(pathKey(nodes[i].output), i);
            byName.insert(nameKey(nodes[i].output), i);
        }
        if (!nodes[i].projectFile.isEmpty())
            byPath.insert(pathKey(nodes[i].projectFile), i);
    }
    const auto dependencies = [&](int node) {
        std::vector<int> found;
        const auto take = [&](const QList<int> &candidates) {
            std::vector<int> own, other;
            for (const int c : candidates) {
                if (c == node)
                    continue;
                (nodes[c].category == nodes[node].category ? own : other).push_back(c);
            }
            const std::vector<int> &chosenOnes = own.empty() ? other : own;
            found.insert(found.end(), chosenOnes.begin(), chosenOnes.end());
        };
        for (const QString &path : nodes[node].uses)
            take(byPath.values(pathKey(path)));
        for (const QString &file : nodes[node].controls)
            take(byName.values(nameKey(file)));
        std::sort(found.begin(), found.end());
        found.erase(std::unique(found.begin(), found.end()), found.end());
        return found;
    };

    // The projects of the plan: the chosen ones, and what they depend on that needs building.
    QHash<int, int> slot; // node -> place in members
    std::vector<int> members;
    std::vector<bool> pulledIn;
    std::vector<std::vector<int>> nodeEdges;
    for (const int c : chosen) {
        if (c < 0 || c >= int(nodes.size()) || slot.contains(c))
            continue;
        slot.insert(c, int(members.size()));
        members.push_back(c);
        pulledIn.push_back(false);
    }
    for (size_t m = 0; m < members.size(); ++m) {
        std::vector<int> deps = dependencies(members[m]);
        for (const int d : deps) {
            if (!slot.contains(d) && needsBuild && needsBuild(d)) {
                if (pulling)
                    pulling(d);
                slot.insert(d, int(members.size()));
                members.push_back(d);
                pulledIn.push_back(true);
            }
        }
        nodeEdges.push_back(std::move(deps));
    }
    // Edges between members only, by place; the members in list order.
    const int n = int(members.size());
    std::vector<int> byList(n);
    for (int m = 0; m < n; ++m)
        byList[m] = m;
    std::sort(byList.begin(), byList.end(), [&](int a, int b) { return members[a] < members[b]; });
    std::vector<std::vector<int>> edges(n);
    for (int m = 0; m < n; ++m)
        for (const int d : nodeEdges[m])
            if (const auto at = slot.constFind(d); at != slot.constEnd())
                edges[m].push_back(*at);

    int count = 0;
    const std::vector<int> component = componentsOf(edges, &count);
    // Each component's members in list order, and the components it depends on.
    std::vector<std::vector<int>> parts(count);
    for (const int m : byList)
        parts[component[m]].push_back(m);
    std::vector<std::vector<int>> partEdges(count);
    for (int p = 0; p < count; ++p) {
        for (const int m : parts[p])
            for (const int d : edges[m])
                if (component[d] != p)
                    partEdges[p].push_back(component[d]);
        // Dependencies in list order: by their first member.
        std::sort(partEdges[p].begin(), partEdges[p].end(),
                  [&](int a, int b) { return members[parts[a].front()] < members[parts[b].front()]; });
        partEdges[p].erase(std::unique(partEdges[p].begin(), partEdges[p].end()), partEdges[p].end());
    }

    BuildPlan plan;
    std::vector<bool> placed(count, false);
    std::vector<std::pair<int, size_t>> calls;
    const auto place = [&](int p) {
        if (parts[p].size() > 1) {
            QStringList names;
            for (const int m : parts[p])
                names.append(nodes[members[m]].name);
            plan.cycles.append(names);
        }
        for (const int m : parts[p])
            plan.steps.push_back({members[m], pulledIn[m]});
    };
    // In list order, each after what it depends on, depth first.
    for (const int m : byList) {
        const int root = component[m];
        if (placed[root])
            continue;
        placed[root] = true;
        calls.push_back({root, 0});
        while (!calls.empty()) {
            auto &[p, next] = calls.back();
            if (next < partEdges[p].size()) {
                const int d = partEdges[p][next++];
                if (!placed[d]) {
                    placed[d] = true;
                    calls.push_back({d, 0});
                }
                continue;
            }
            const int done = p;
            calls.pop_back();
            place(done);
        }
    }
    return plan;
}

} // namespace

BuildPlan PlanBuilds(const std::vector<BuildNode> &nodes, const std::vector<int> &chosen,
                     const std::function<bool(int node)> &needsBuild)
{
    return planBuilds(nodes, chosen, needsBuild, {});
}

BuildPlan PlanBuilds(std::vector<BuildNode> &nodes, const std::vector<int> &chosen,
                     const std::function<bool(int node)> &needsBuild, const std::function<void(BuildNode &node)> &load)
{
    // The plan reads the nodes through a const reference while load fills in one it has not
    // looked at yet: only uses and controls change, never what the nodes are found by.
    return planBuilds(nodes, chosen, needsBuild, [&](int node) {
        if (load)
            load(nodes[size_t(node)]);
    });
}

BuildPlan PlanSingleBuild(std::vector<BuildNode> &nodes, int project, const std::function<bool(int node)> &needsBuild,
                          const std::function<void(BuildNode &node)> &load)
{
    BuildPlan plan = PlanBuilds(nodes, {project}, needsBuild, load);
    const auto own = std::find_if(plan.steps.begin(), plan.steps.end(),
                                  [project](const BuildStep &step) { return step.node == project && !step.pulledIn; });
    if (own == plan.steps.end())
        return plan;
    std::rotate(own, own + 1, plan.steps.end());
    if (project >= 0 && project < int(nodes.size()))
        plan.cycles.removeIf([&](const QStringList &cycle) { return cycle.contains(nodes[size_t(project)].name); });
    return plan;
}

} // namespace tooling
