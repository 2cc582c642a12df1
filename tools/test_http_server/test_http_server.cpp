#include "tools/test_http_server/test_http_server.h"

#include <httplib.h>

#include <condition_variable>
#include <cstdio>
#include <map>
#include <mutex>
#include <thread>

namespace quilltest {
namespace {

bool SameTextIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size())
    return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (tolower(static_cast<unsigned char>(a[i])) != tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

// Parses "bytes=N-" or "bytes=N-M"; false for anything else.
bool ParseSingleRange(const std::string& value, long long* first, long long* last) {
  long long a = -1, b = -1;
  char tail = 0;
  if (sscanf(value.c_str(), "bytes=%lld-%lld%c", &a, &b, &tail) == 2 && a >= 0 && b >= a) {
    *first = a;
    *last = b;
    return true;
  }
  if (sscanf(value.c_str(), "bytes=%lld-%c", &a, &tail) == 1 && a >= 0 && value.back() == '-') {
    *first = a;
    *last = -1;
    return true;
  }
  return false;
}

long long FileSize(const std::wstring& path) {
  FILE* file = _wfopen(path.c_str(), L"rb");
  if (file == nullptr)
    return -1;
  _fseeki64(file, 0, SEEK_END);
  long long size = _ftelli64(file);
  fclose(file);
  return size;
}

}  // namespace

std::string RecordedRequest::Header(const std::string& name) const {
  for (const auto& header : headers) {
    if (SameTextIgnoringCase(header.first, name))
      return header.second;
  }
  return std::string();
}

bool RecordedRequest::HasHeader(const std::string& name) const {
  for (const auto& header : headers) {
    if (SameTextIgnoringCase(header.first, name))
      return true;
  }
  return false;
}

struct TestHttpServer::Impl {
  httplib::Server server;
  std::thread listener;
  int port = 0;
  std::string host = "127.0.0.1";
  long long bodyBytesSent = 0;  // guarded by mutex

  mutable std::mutex mutex;
  std::condition_variable stopped;  // wakes stalled replies at Stop
  bool stopping = false;
  std::map<std::string, HttpRoute> routes;
  std::vector<RecordedRequest> requests;

  void Record(const httplib::Request& request) {
    RecordedRequest record;
    record.method = request.method;
    record.target = request.target;
    record.version = request.version;
    for (const auto& header : request.headers) {
      // The library adds the socket's addresses as if they were headers.
      if (header.first == "REMOTE_ADDR" || header.first == "REMOTE_PORT" ||
          header.first == "LOCAL_ADDR" || header.first == "LOCAL_PORT") {
        continue;
      }
      record.headers.push_back(header);
    }
    record.body = request.body;
    std::lock_guard<std::mutex> lock(mutex);
    requests.push_back(record);
  }

  // Waits, unless the server is stopping; false when it is.
  bool Stall(unsigned milliseconds) {
    std::unique_lock<std::mutex> lock(mutex);
    return !stopped.wait_for(lock, std::chrono::milliseconds(milliseconds),
                             [this] { return stopping; });
  }

  void Answer(const httplib::Request& request, httplib::Response& response) {
    HttpRoute route;
    {
      std::lock_guard<std::mutex> lock(mutex);
      auto found = routes.find(request.path);
      if (found == routes.end()) {
        response.status = 404;
        response.set_content("<html><body>404 Not Found</body></html>", "text/html");
        return;
      }
      route = found->second;
    }
    response.status = route.status;
    for (const auto& header : route.headers) {
      // A cache's revalidation gets 304 while the Last-Modified it names
      // stays, as static file servers answer.
      if (SameTextIgnoringCase(header.first, "Last-Modified") &&
          request.get_header_value("If-Modified-Since") == header.second) {
        response.status = 304;
        return;
      }
    }
    for (const auto& header : route.headers)
      response.set_header(header.first, header.second);

    long long total = route.bodyFile.empty() ? static_cast<long long>(route.body.size())
                                             : FileSize(route.bodyFile);
    if (total < 0) {
      response.status = 500;
      return;
    }
    long long first = 0;
    long long last = total - 1;
    if (route.status == 200 && route.honourRange && request.has_header("Range")) {
      long long rangeFirst = 0, rangeLast = -1;
      if (ParseSingleRange(request.get_header_value("Range"), &rangeFirst, &rangeLast)) {
        if (rangeFirst >= total) {
          response.status = 416;
          response.set_header("Content-Range", "bytes */" + std::to_string(total));
          return;
        }
        first = rangeFirst;
        if (rangeLast >= 0 && rangeLast < last)
          last = rangeLast;
        response.status = 206;
        response.set_header("Content-Range", "bytes " + std::to_string(first) + "-" +
                                                 std::to_string(last) + "/" +
                                                 std::to_string(total));
      }
    }
    long long length = last - first + 1;
    if (length <= 0) {
      response.set_content("", route.contentType.c_str());
      return;
    }

    std::shared_ptr<FILE> file;
    if (!route.bodyFile.empty()) {
      file.reset(_wfopen(route.bodyFile.c_str(), L"rb"), [](FILE* f) {
        if (f != nullptr)
          fclose(f);
      });
      if (!file) {
        response.status = 500;
        return;
      }
    }
    auto state = std::make_shared<bool>(false);  // the stall has happened
    response.set_content_provider(
        static_cast<size_t>(length), route.contentType,
        [this, route, file, first, state](size_t offset, size_t available,
                                          httplib::DataSink& sink) {
          // A paced line sends a tenth of a second's worth, then waits out the
          // rest of that tenth; otherwise 64 KiB at a time.
          size_t chunk =
              route.bytesPerSecond > 0 ? std::max<size_t>(1, route.bytesPerSecond / 10) : 65536;
          chunk = std::min(chunk, available);
          long long sent = static_cast<long long>(offset);
          if (route.closeAfterBytes >= 0) {
            if (sent >= route.closeAfterBytes)
              return false;  // drops the connection
            chunk = std::min<size_t>(chunk, static_cast<size_t>(route.closeAfterBytes - sent));
          }
          if (route.stallAfterBytes >= 0 && !*state) {
            if (sent >= route.stallAfterBytes) {
              *state = true;
              if (!Stall(route.stallMilliseconds))
                return false;
            } else {
              chunk = std::min<size_t>(chunk, static_cast<size_t>(route.stallAfterBytes - sent));
            }
          }
          if (route.bytesPerSecond > 0 && !Stall(100))
            return false;
          std::string data;
          if (file) {
            data.resize(chunk);
            _fseeki64(file.get(), first + sent, SEEK_SET);
            data.resize(fread(&data[0], 1, chunk, file.get()));
            if (data.empty())
              return false;
          } else {
            data = route.body.substr(static_cast<size_t>(first + sent), chunk);
          }
          {
            std::lock_guard<std::mutex> lock(mutex);
            bodyBytesSent += static_cast<long long>(data.size());
          }
          return sink.write(data.data(), data.size());
        });
  }
};

TestHttpServer::TestHttpServer() : impl_(new Impl) {
  // One request per connection: an idle keep-alive connection would hold
  // Stop for the library's keep-alive time-out (5 s).
  impl_->server.set_keep_alive_max_count(1);
  // Every method and path goes through one handler, which runs after the
  // library has read a request body (it reads none for GET).
  httplib::Server::Handler handler = [this](const httplib::Request& request,
                                            httplib::Response& response) {
    impl_->Record(request);
    // The library would cut the reply to the requested range itself;
    // Answer does that (or, on request, does not), so hide the range from
    // it. The request object is the library's own, not a constant.
    const_cast<httplib::Request&>(request).ranges.clear();
    impl_->Answer(request, response);
  };
  impl_->server.Get(".*", handler);
  impl_->server.Post(".*", handler);
  impl_->server.Put(".*", handler);
  impl_->server.Patch(".*", handler);
  impl_->server.Delete(".*", handler);
  impl_->server.Options(".*", handler);
}

TestHttpServer::~TestHttpServer() {
  Stop();
}

bool TestHttpServer::Start(int port, const std::string& host) {
  Stop();
  {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->stopping = false;
  }
  impl_->host = host;
  if (port == 0) {
    impl_->port = impl_->server.bind_to_any_port(host.c_str());
  } else {
    impl_->port = impl_->server.bind_to_port(host.c_str(), port) ? port : -1;
  }
  if (impl_->port <= 0) {
    impl_->port = 0;
    return false;
  }
  impl_->listener = std::thread([this] { impl_->server.listen_after_bind(); });
  // The library's stop does nothing until its loop runs; a Stop right after
  // Start would otherwise never end.
  while (!impl_->server.is_running())
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return true;
}

void TestHttpServer::Stop() {
  {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->stopping = true;
  }
  impl_->stopped.notify_all();
  if (impl_->listener.joinable()) {
    impl_->server.stop();
    impl_->listener.join();
  }
}

int TestHttpServer::Port() const {
  return impl_->port;
}

std::string TestHttpServer::BaseUrl() const {
  return "http://" + impl_->host + ":" + std::to_string(impl_->port);
}

long long TestHttpServer::BodyBytesSent() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->bodyBytesSent;
}

void TestHttpServer::SetRoute(const std::string& path, const HttpRoute& route) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->routes[path] = route;
}

std::vector<RecordedRequest> TestHttpServer::Requests() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->requests;
}

}  // namespace quilltest
