#include "tests/app/WorkflowHttpServer.h"

#include <stdio.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace velomaris {

namespace {

// Pages live under www/; a request is logged in state/requests.log before it is answered, and
// state/fail/<path with "/" as "_"> holds how many more requests for the path fail.
const char* const kRouter = R"PHP(<?php
$name = ltrim(parse_url($_SERVER['REQUEST_URI'], PHP_URL_PATH), '/');
$state = __DIR__ . '/state';
file_put_contents("$state/requests.log", $name . "\n", FILE_APPEND | LOCK_EX);
header('Content-Type: text/html');
$fail = "$state/fail/" . str_replace('/', '_', $name);
if (is_file($fail)) {
    $left = (int) file_get_contents($fail);
    if ($left > 0) {
        file_put_contents($fail, (string) ($left - 1));
        http_response_code(500);
        echo 'failure';
        return true;
    }
}
$file = __DIR__ . '/www/' . $name;
if (strpos($name, '..') !== false || !is_file($file)) {
    http_response_code(404);
    echo 'not found';
    return true;
}
header('Content-Length: ' . filesize($file));
readfile($file);
return true;
)PHP";

void ReplaceFile(const std::string& path, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << bytes;
        if (!out) {
            throw std::runtime_error("cannot write " + temporary);
        }
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        throw std::runtime_error("cannot rename " + temporary);
    }
}

std::string FailFileName(std::string path) {
    for (char& c : path) {
        c = c == '/' ? '_' : c;
    }
    return path;
}

}  // namespace

WorkflowHttpServer::WorkflowHttpServer() : server_(kRouter) {
    std::filesystem::create_directories(server_.Root().File("state/fail"));
    std::filesystem::create_directories(server_.Root().File("www"));
}

std::string WorkflowHttpServer::Url(const std::string& path) const {
    return server_.Url("/" + path);
}

void WorkflowHttpServer::SetPage(const std::string& path, const std::string& bytes) const {
    ReplaceFile(server_.Root().File("www/" + path), bytes);
}

void WorkflowHttpServer::FailNext(const std::string& path, int count) const {
    ReplaceFile(server_.Root().File("state/fail/" + FailFileName(path)), std::to_string(count));
}

int WorkflowHttpServer::Requests(const std::string& path) const {
    std::ifstream log(server_.Root().File("state/requests.log"));
    int count = 0;
    for (std::string line; std::getline(log, line);) {
        count += line == path ? 1 : 0;
    }
    return count;
}

}  // namespace velomaris
