#!/usr/bin/env perl
# SPDX-License-Identifier: Apache-2.0
# Compares the groups the SQL engines made with the tool's groups; the files are those run.sh
# describes. Usage: compare.pl WORK_DIR ENGINE... (the engines that ran).
# Prints one line per dialect, and the first differences of each period that does not match;
# exits 1 on any mismatch.
use strict;
use warnings;

my ($work, @engines) = @ARGV;
my %engine_of = (oracle => 'postgresql', postgresql => 'postgresql', to_char => 'postgresql',
                 clickhouse => 'clickhouse', duckdb => 'duckdb');
my %ran = map { $_ => 1 } @engines;

# Reads a TSV file of groups whose last field lists the group's lines; returns the groups by the
# first `$key_fields` fields, each as "period start<TAB>station<TAB>sorted lines".
sub groups {
    my ($file, $key_fields) = @_;
    my %by;
    open(my $in, '<', $file) or die "compare.pl: cannot read $file: $!\n";
    while (my $line = <$in>) {
        chomp $line;
        my @f = split /\t/, $line, -1;
        my @lines = sort { $a <=> $b } split /,/, pop @f;
        my $key = join("\t", splice(@f, 0, $key_fields));
        push @{$by{$key}}, join("\t", @f, join(',', @lines));
    }
    return \%by;
}

my $tool = groups("$work/tool.tsv", 3);
my %engine;
for my $e (@engines) {
    my $by = groups("$work/out-$e.tsv", 3);
    @engine{keys %$by} = values %$by;
}

# The lines of one side that the other lacks, at most three.
sub only_in {
    my ($a, $b) = @_;
    my %count;
    $count{$_}++ for @$b;
    my @only = grep { !$count{$_}-- } @$a;
    return (scalar(@only), @only[0 .. ($#only < 2 ? $#only : 2)]);
}

my (%checked, %groups, %refused, %failed);
open(my $combos, '<', "$work/combos.tsv") or die "compare.pl: cannot read combos.tsv: $!\n";
while (my $line = <$combos>) {
    chomp $line;
    my ($dialect, $code, $sow, $id, $flag) = split /\t/, $line;
    next unless $ran{$engine_of{$dialect}};
    if ($flag eq 'refused') {
        $refused{$dialect}++;
        next;
    }
    for my $src ('b', 's') {
        my @want = @{$tool->{"$code\t$sow\t$src"} // []};
        my @got = @{$engine{"$dialect\t$id\t$src"} // []};
        # The classic text is no timestamp: only the rows of each group count.
        if ($dialect eq 'to_char') { s/^[^\t]*\t// for @want, @got; }
        my ($missing, @missing) = only_in(\@want, \@got);
        my ($extra, @extra) = only_in(\@got, \@want);
        my $same = !$missing && !$extra;
        $checked{$dialect}++;
        $groups{$dialect} += @want;
        my $what = "$dialect, period $code, start of week $sow, " .
                   ($src eq 'b' ? 'boundary readings' : 'sample');
        if ($flag eq 'exact' && !$same) {
            $failed{$dialect}++;
            print "MISMATCH $what: $missing of the tool's " . scalar(@want) .
                  " groups not in SQL, $extra of " . scalar(@got) . " SQL groups not the tool's\n";
            print "  tool: $_\n" for @missing;
            print "  SQL:  $_\n" for @extra;
        } elsif ($flag eq 'inexact' && $src eq 'b' && $same) {
            $failed{$dialect}++;
            print "MISMATCH $what: the tool warns that the expression groups otherwise, " .
                  "but the boundary readings group the same\n";
        }
    }
}
close $combos;

for my $dialect (sort keys %checked) {
    my $result = $failed{$dialect} ? "$failed{$dialect} MISMATCHES" : 'all as the tool';
    my $note = $refused{$dialect} ? ", $refused{$dialect} refused by the tool" : '';
    print "$dialect on $engine_of{$dialect}: $checked{$dialect} period/start/data set checks " .
          "($groups{$dialect} groups)$note: $result\n";
}
exit(%failed ? 1 : 0);
