// Runs ImportScene in a child process and takes the scene back through a pipe: some inputs
// crash the importer itself, and the user should get one error line, not a dead compiler.
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tools/bspc/scene_import.h"

namespace {

struct Writer {
    std::vector<uint8_t> bytes;
    void Raw(const void* data, size_t size) {
        if (size == 0) return;
        const auto* p = static_cast<const uint8_t*>(data);
        bytes.insert(bytes.end(), p, p + size);
    }
    void Size(uint64_t n) { Raw(&n, sizeof n); }
    void Text(const std::string& s) {
        Size(s.size());
        Raw(s.data(), s.size());
    }
};

struct Reader {
    const std::vector<uint8_t>& bytes;
    size_t at = 0;
    bool ok = true;
    void Raw(void* data, size_t size) {
        if (!ok || bytes.size() - at < size) {
            ok = false;
            return;
        }
        if (size == 0) return; // an empty vector's data() may be null
        std::memcpy(data, bytes.data() + at, size);
        at += size;
    }
    uint64_t Size() {
        uint64_t n = 0;
        Raw(&n, sizeof n);
        if (n > bytes.size() - at) ok = false; // no count can exceed what is left
        return ok ? n : 0;
    }
    std::string Text() {
        std::string s(Size(), '\0');
        Raw(s.data(), s.size());
        return s;
    }
};

void Serialize(bool ok, const Scene& scene, const BspcMessages& messages, Writer& out) {
    out.Size(ok);
    out.Text(messages.error);
    out.Size(messages.warnings.size());
    for (const std::string& w : messages.warnings)
        out.Text(w);
    out.Size(scene.materials.size());
    for (const SceneMaterial& m : scene.materials) {
        out.Text(m.name);
        out.Text(m.imageName);
        out.Text(m.imagePath);
        out.Size(m.embedded.size());
        out.Raw(m.embedded.data(), m.embedded.size());
        out.Raw(&m.embeddedWidth, sizeof m.embeddedWidth);
        out.Raw(&m.embeddedHeight, sizeof m.embeddedHeight);
        out.Raw(&m.color, sizeof m.color);
    }
    out.Size(scene.triangles.size() * sizeof(SceneTriangle));
    out.Raw(scene.triangles.data(), scene.triangles.size() * sizeof(SceneTriangle));
}

bool Deserialize(const std::vector<uint8_t>& bytes, Scene& scene, BspcMessages& messages,
                 bool& ok) {
    Reader in{bytes};
    ok = in.Size() != 0;
    messages.error = in.Text();
    for (uint64_t n = in.Size(); in.ok && n > 0; --n)
        messages.warnings.push_back(in.Text());
    for (uint64_t n = in.Size(); in.ok && n > 0; --n) {
        SceneMaterial& m = scene.materials.emplace_back();
        m.name = in.Text();
        m.imageName = in.Text();
        m.imagePath = in.Text();
        m.embedded.resize(in.Size());
        in.Raw(m.embedded.data(), m.embedded.size());
        in.Raw(&m.embeddedWidth, sizeof m.embeddedWidth);
        in.Raw(&m.embeddedHeight, sizeof m.embeddedHeight);
        in.Raw(&m.color, sizeof m.color);
    }
    const uint64_t size = in.Size();
    scene.triangles.resize(size / sizeof(SceneTriangle));
    in.Raw(scene.triangles.data(), size);
    return in.ok && size % sizeof(SceneTriangle) == 0 && in.at == bytes.size();
}

bool WriteAll(int fd, const std::vector<uint8_t>& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += size_t(n);
    }
    return true;
}

} // namespace

bool ImportSceneIsolated(const std::string& path, int32_t seconds, Scene& scene,
                         BspcMessages& messages) {
    int fds[2];
    if (pipe(fds) != 0) return ImportScene(path, scene, messages);
    const pid_t child = fork();
    if (child < 0) {
        close(fds[0]);
        close(fds[1]);
        return ImportScene(path, scene, messages);
    }
    if (child == 0) {
        close(fds[0]);
        // Some importers print to the standard streams; the user gets our lines only.
        const int null = open("/dev/null", O_WRONLY);
        if (null >= 0) {
            dup2(null, STDOUT_FILENO);
            dup2(null, STDERR_FILENO);
        }
        // Some inputs keep an importer busy for hours.
        if (seconds > 0) alarm(unsigned(seconds));
        Scene imported;
        BspcMessages found;
        const bool ok = ImportScene(path, imported, found);
        Writer out;
        Serialize(ok, imported, found, out);
        // No destructors, no exit handlers: the parent owns every shared resource.
        _exit(WriteAll(fds[1], out.bytes) ? 0 : 3);
    }
    close(fds[1]);
    std::vector<uint8_t> bytes;
    uint8_t buffer[65536];
    for (;;) {
        const ssize_t n = read(fds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    close(fds[0]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFSIGNALED(status) && WTERMSIG(status) == SIGALRM) {
        messages.error = "gave up reading \"" + path + "\" after " + std::to_string(seconds) +
                         " s (--import-timeout); the file is probably broken";
        return false;
    }
    if (WIFSIGNALED(status)) {
        messages.error = "the importer crashed reading \"" + path + "\" (" +
                         strsignal(WTERMSIG(status)) + "); the file is probably broken";
        return false;
    }
    bool ok = false;
    BspcMessages found;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 ||
        !Deserialize(bytes, scene, found, ok)) {
        messages.error = "the importer failed reading \"" + path + "\"";
        return false;
    }
    for (const std::string& w : found.warnings)
        messages.Warn(w);
    if (!ok) messages.error = found.error;
    return ok;
}
