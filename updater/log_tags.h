#pragma once

// The updater's log tags, one per source file, passed first to every log call.
inline constexpr char kMainLogTag[] = "RENOVIX::main";
inline constexpr char kRenovixLogTag[] = "RENOVIX::zorvax_update";
inline constexpr char kTransferMessageLogTag[] = "RENOVIX::transfer_message";
inline constexpr char kDownloaderLogTag[] = "RENOVIX:downloader";  // one colon, as shipped
inline constexpr char kUpdateInfoLogTag[] = "RENOVIX::update_info";
inline constexpr char kAppInfoLogTag[] = "RENOVIX::app_info";
inline constexpr char kScheduledTaskLogTag[] = "RENOVIX::scheduled_task";
inline constexpr char kLanguageNameLogTag[] = "RENOVIX::language_name";
inline constexpr char kInteractionLogTag[] = "RENOVIX::interaction";
